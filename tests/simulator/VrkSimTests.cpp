// Tests of vrksim.exe, run as a child process with its output captured. They also show the user
// directory's behaviour, which vrksim.exe passes on unchanged.
#include "SimulatorTestSupport.h"

#include "simulator/FaultRehearsal.h"

#include <algorithm>

using namespace VrkTest;

namespace
{

// Reads a pipe to its end, without carriage returns.
std::string Drain(HANDLE pipe)
{
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0)
        text.append(buffer, got);
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

struct Step
{
    std::string arguments;
    DWORD exitCode;
    const char* out; // nullptr: any output but none
};

// Runs "vrksim <arguments>" for each step in order. Failures explain themselves on standard error,
// wrong usage with a hint.
void ExpectRuns(std::initializer_list<Step> steps)
{
    for (const Step& step : steps)
    {
        SCOPED_TRACE("vrksim " + step.arguments);
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        Veyrak::UniqueHandle reader[2], writer[2];
        for (int index = 0; index < 2; ++index)
            EXPECT_TRUE(::CreatePipe(reader[index].put(), writer[index].put(), &inherit, 0) &&
                        ::SetHandleInformation(reader[index].get(), HANDLE_FLAG_INHERIT, 0));
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = writer[0].get();
        startup.hStdError = writer[1].get();
        std::string commandLine = "\"" + ProgramDirectory() + "vrksim.exe\" " + step.arguments;
        PROCESS_INFORMATION started = {};
        EXPECT_TRUE(
            ::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started))
            << "cannot start vrksim.exe, error " << ::GetLastError();
        const Veyrak::UniqueHandle process(started.hProcess), thread(started.hThread);
        // Our copies of the write ends go first, so that the reads end with the program.
        writer[0].reset();
        writer[1].reset();
        const std::string out = Drain(reader[0].get()), err = Drain(reader[1].get());
        DWORD exitCode = 0xdeadbeef; // stays if it never started: the calls below fail at once
        ::WaitForSingleObject(process.get(), INFINITE);
        ::GetExitCodeProcess(process.get(), &exitCode);

        EXPECT_EQ(step.exitCode, exitCode) << err;
        if (step.out)
            EXPECT_EQ(step.out, out);
        else
            EXPECT_NE("", out);
        EXPECT_EQ(step.exitCode == 0 ? std::string::npos : 0, err.find("vrksim: ")) << err;
        EXPECT_EQ(step.exitCode == 2, err.find("vrksim --help") != std::string::npos) << err;
    }
}

using VrkSimTest = SimulatorTest;

} // namespace

TEST_F(VrkSimTest, WrongUsage_ExitsWithTwoAndChangesNothing)
{
    ExpectRuns({{"--help", 0, nullptr}, {"users add CORP " + std::string(256, 'a'), 2, ""}});
    for (const char* arguments :
         {"", "frobnicate", "users", "users add CORP", "users add CORP anna extra", "users add CORP anna --enabled",
          "users add CORP\\SUB anna", "users add \"\" anna", "users add CORP \"\"", "users remove CORP",
          "users list A B", "fault set AuthenticateUser", "fault set Authenticate 0x80004005",
          "fault set AuthenticateUser 80004005", "fault set AuthenticateUser 0x8000400G",
          "fault set AuthenticateUser 0x00000001", "fault clear Nothing"})
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
                {"users list West", 1, ""},
                {"users add CORP " + std::string(255, 'a'), 0, nullptr},
                {"users remove CORP " + std::string(255, 'A'), 0, nullptr}});
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, SettingsKey("Users\\CORP\\anna")));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, SettingsKey("Users\\West")));
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

// vrksim's parser refuses these first; the settings refuse them too for any other writer.
TEST_F(VrkSimTest, SetFault_RefusesSuccessCodesAndUnknownOperationsAndWritesNothing)
{
    const Veyrak::Simulator::FaultRehearsal faults;
    for (HRESULT code : {S_OK, S_FALSE, static_cast<HRESULT>(0x7FFFFFFF)})
        EXPECT_HR(E_INVALIDARG, faults.SetFault(L"AuthenticateUser", code));
    EXPECT_HR(E_INVALIDARG, faults.SetFault(L"Nothing", E_FAIL));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, SettingsKey("Faults")));
}

TEST_F(VrkSimTest, RegistryRefusal_ExitsWithThree)
{
    // No lasting key can be made below a volatile one.
    CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\VEYRAK Corporation");
    Veyrak::UniqueHkey key;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSimulatorKeyPath, 0, nullptr, REG_OPTION_VOLATILE,
                                               KEY_ALL_ACCESS, nullptr, key.put(), nullptr));
    ExpectRuns({{"users add CORP anna", 3, ""}, {"fault set AuthenticateUser 0x80004005", 3, ""}});
}
