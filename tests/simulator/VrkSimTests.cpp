// Tests of vrksim.exe, run as a child process with its output captured. They also show the user
// directory's behaviour, which vrksim.exe passes on unchanged.
#include "SimulatorTestSupport.h"

#include <algorithm>

using namespace VrkTest;

namespace
{

struct Outcome
{
    DWORD exitCode = 0xdeadbeef;
    std::string out, err;
};

// Reads a pipe to its end, without carriage returns, and closes it.
std::string Drain(HANDLE pipe)
{
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0)
        text.append(buffer, got);
    ::CloseHandle(pipe);
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

Outcome Vrksim(const std::string& arguments)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE reader[2] = {}, writer[2] = {};
    for (int index = 0; index < 2; ++index)
        EXPECT_TRUE(::CreatePipe(&reader[index], &writer[index], &inherit, 0) &&
                    ::SetHandleInformation(reader[index], HANDLE_FLAG_INHERIT, 0));
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writer[0];
    startup.hStdError = writer[1];
    std::string commandLine = "\"" + ProgramDirectory() + "vrksim.exe\" " + arguments;
    PROCESS_INFORMATION process = {};
    EXPECT_TRUE(
        ::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
        << "cannot start vrksim.exe, error " << ::GetLastError();
    for (HANDLE handle : {writer[0], writer[1], process.hThread})
        ::CloseHandle(handle);
    Outcome run;
    run.out = Drain(reader[0]);
    run.err = Drain(reader[1]);
    ::WaitForSingleObject(process.hProcess, INFINITE); // fails at once, as the next two, if it never started
    ::GetExitCodeProcess(process.hProcess, &run.exitCode);
    ::CloseHandle(process.hProcess);
    return run;
}

struct Step
{
    const char* arguments;
    DWORD exitCode;
    const char* out;
};

// Runs the steps in order. Failures explain themselves on standard error, wrong usage with a hint.
void ExpectRuns(std::initializer_list<Step> steps)
{
    for (const Step& step : steps)
    {
        SCOPED_TRACE(std::string("vrksim ") + step.arguments);
        Outcome run = Vrksim(step.arguments);
        EXPECT_EQ(step.exitCode, run.exitCode) << run.err;
        EXPECT_EQ(step.out, run.out);
        EXPECT_EQ(step.exitCode == 0 ? std::string::npos : 0, run.err.find("vrksim: ")) << run.err;
        EXPECT_EQ(step.exitCode == 2, run.err.find("vrksim --help") != std::string::npos) << run.err;
    }
}

using VrkSimTest = SimulatorTest;

} // namespace

TEST_F(VrkSimTest, WrongUsage_ExitsWithTwoAndChangesNothing)
{
    Outcome help = Vrksim("--help");
    EXPECT_EQ(0u, help.exitCode);
    EXPECT_NE(std::string::npos, help.out.find("users add DOMAIN USER [--disabled]")) << help.out;
    for (const char* arguments :
         {"", "frobnicate", "users", "users add CORP", "users add CORP anna extra", "users add CORP anna --enabled",
          "users add CORP\\SUB anna", "users remove CORP", "users list A B", "fault set AuthenticateUser",
          "fault set Authenticate 0x80004005", "fault set AuthenticateUser 80004005",
          "fault set AuthenticateUser 0x8000400G", "fault set AuthenticateUser 0x00000001", "fault clear Nothing"})
        ExpectRuns({{arguments, 2, ""}});
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kSimulatorKeyPath));
}

TEST_F(VrkSimTest, Users_AddSwitchListAndRemoveMatchingNamesCaseInsensitively)
{
    ExpectRuns({{"users list", 0, ""},
                {"users add CORP anna", 0, "Added CORP\\anna (enabled).\n"},
                {"users add West zoe --disabled", 0, "Added West\\zoe (disabled).\n"},
                {"users add corp Bob", 0, "Added corp\\Bob (enabled).\n"},
                {"users add CORP ANNA --disabled", 0, "Updated CORP\\ANNA (disabled).\n"},
                {"users list", 0, "CORP\\anna disabled\nCORP\\Bob enabled\nWest\\zoe disabled\n"},
                {"users enable corp ANNA", 0, "Enabled corp\\ANNA.\n"},
                {"users disable CORP bob", 0, "Disabled CORP\\bob.\n"},
                {"users enable CORP nobody", 1, ""},
                {"users disable OTHER anna", 1, ""},
                {"users remove CORP \"\"", 1, ""},
                {"users list corp", 0, "CORP\\anna enabled\nCORP\\Bob disabled\n"},
                {"users remove West ZOE", 0, "Removed West\\ZOE.\n"},
                {"users remove West zoe", 1, ""},
                {"users list West", 1, ""}});
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, std::string(kSimulatorKeyPath) + "\\Users\\CORP\\anna"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::string(kSimulatorKeyPath) + "\\Users\\West"));
}

TEST_F(VrkSimTest, Faults_SetListAndClear)
{
    ExpectRuns({{"fault clear", 0, "Cleared all faults.\n"},
                {"fault set authenticateuser 0x80004005", 0, "AuthenticateUser will fail with 0x80004005.\n"},
                {"fault set CreateComponent 0x80040154", 0, "CreateComponent will fail with 0x80040154.\n"},
                {"fault list", 0, "CreateComponent 0x80040154\nAuthenticateUser 0x80004005\n"},
                {"fault clear AuthenticateUser", 0, "Cleared the fault of AuthenticateUser.\n"},
                {"fault clear authenticateUser", 1, ""},
                {"fault list", 0, "CreateComponent 0x80040154\n"},
                {"fault clear", 0, "Cleared all faults.\n"},
                {"fault list", 0, ""}});
}

TEST_F(VrkSimTest, RegistryRefusal_ExitsWithThree)
{
    // No lasting key can be made below a volatile one.
    CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\VEYRAK Corporation");
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSimulatorKeyPath, 0, nullptr, REG_OPTION_VOLATILE,
                                               KEY_ALL_ACCESS, nullptr, &key, nullptr));
    ::RegCloseKey(key);
    ExpectRuns({{"users add CORP anna", 3, ""}, {"fault set AuthenticateUser 0x80004005", 3, ""}});
}
