// Tests of vrksim.exe, run as a child process with its output captured.
#include "SimulatorTestSupport.h"

#include <algorithm>

using namespace VrkTest;

namespace
{

struct CommandResult
{
    DWORD exitCode = 0xdeadbeef;
    std::string out;
    std::string err;
};

std::string ReadAll(HANDLE pipe)
{
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0)
        text.append(buffer, got);
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

// Runs "vrksim.exe <arguments>" from beside the test program.
CommandResult RunVrksim(const std::string& arguments)
{
    CommandResult result;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
    EXPECT_TRUE(::CreatePipe(&outRead, &outWrite, &inherit, 0));
    EXPECT_TRUE(::CreatePipe(&errRead, &errWrite, &inherit, 0));
    ::SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    std::string commandLine = "\"" + ProgramDirectory() + "vrksim.exe\" " + arguments;
    PROCESS_INFORMATION process = {};
    BOOL started =
        ::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    EXPECT_TRUE(started) << "cannot start vrksim.exe, error " << ::GetLastError();
    ::CloseHandle(outWrite);
    ::CloseHandle(errWrite);
    if (started)
    {
        result.out = ReadAll(outRead);
        result.err = ReadAll(errRead);
        ::WaitForSingleObject(process.hProcess, INFINITE);
        ::GetExitCodeProcess(process.hProcess, &result.exitCode);
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    }
    ::CloseHandle(outRead);
    ::CloseHandle(errRead);
    return result;
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

#define EXPECT_RUN(arguments_, exitCode_, out_)                                                                        \
    do                                                                                                                 \
    {                                                                                                                  \
        CommandResult run_ = RunVrksim(arguments_);                                                                    \
        EXPECT_EQ(static_cast<DWORD>(exitCode_), run_.exitCode) << "vrksim " << (arguments_) << "\n" << run_.err;      \
        EXPECT_EQ(std::string(out_), run_.out) << "vrksim " << (arguments_);                                           \
    } while (0)

using VrkSimTest = SimulatorTest;

} // namespace

TEST_F(VrkSimTest, Help_AndWrongUsage)
{
    CommandResult help = RunVrksim("--help");
    EXPECT_EQ(0u, help.exitCode);
    EXPECT_TRUE(Contains(help.out, "users add DOMAIN USER [--disabled]")) << help.out;
    EXPECT_TRUE(Contains(help.out, "fault set OPERATION HRESULT")) << help.out;

    const char* wrongUsages[] = {
        "",
        "frobnicate",
        "users",
        "users add CORP",
        "users add CORP anna extra",
        "users add CORP anna --enabled",
        "users add CORP\\SUB anna",
        "users remove CORP",
        "users list A B",
        "fault set AuthenticateUser",
        "fault set Authenticate 0x80004005",
        "fault set AuthenticateUser 80004005",
        "fault set AuthenticateUser 0x8000400G",
        "fault set AuthenticateUser 0x00000001",
        "fault clear Nothing",
    };
    for (const char* arguments : wrongUsages)
    {
        SCOPED_TRACE(arguments);
        CommandResult run = RunVrksim(arguments);
        EXPECT_EQ(2u, run.exitCode);
        EXPECT_EQ("", run.out);
        EXPECT_TRUE(Contains(run.err, "vrksim: ")) << run.err;
        EXPECT_TRUE(Contains(run.err, "vrksim --help")) << run.err;
    }
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kSimulatorKeyPath)) << "wrong usage changed the settings";
}

TEST_F(VrkSimTest, Users_AddListSwitchAndRemove)
{
    EXPECT_RUN("users add CORP anna", 0, "Added CORP\\anna (enabled).\n");
    EXPECT_RUN("users add West zoe --disabled", 0, "Added West\\zoe (disabled).\n");
    EXPECT_RUN("users add corp Bob", 0, "Added corp\\Bob (enabled).\n");
    EXPECT_RUN("users list", 0, "CORP\\anna enabled\nCORP\\Bob enabled\nWest\\zoe disabled\n");
    EXPECT_RUN("users list west", 0, "West\\zoe disabled\n");

    EXPECT_RUN("users disable corp ANNA", 0, "Disabled corp\\ANNA.\n");
    EXPECT_RUN("users enable West zoe", 0, "Enabled West\\zoe.\n");
    EXPECT_RUN("users add CORP anna", 0, "Updated CORP\\anna (enabled).\n");
    EXPECT_RUN("users list", 0, "CORP\\anna enabled\nCORP\\Bob enabled\nWest\\zoe enabled\n");

    EXPECT_RUN("users remove West ZOE", 0, "Removed West\\ZOE.\n");
    EXPECT_RUN("users list West", 1, "");
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::string(kSimulatorKeyPath) + "\\Users\\West"));
}

TEST_F(VrkSimTest, Users_NotFoundCasesExitWithOne)
{
    AddUser("CORP", "anna", true);
    for (const char* arguments :
         {"users remove CORP bob", "users enable CORP bob", "users disable OTHER anna", "users list OTHER"})
    {
        SCOPED_TRACE(arguments);
        CommandResult run = RunVrksim(arguments);
        EXPECT_EQ(1u, run.exitCode);
        EXPECT_EQ("", run.out);
        EXPECT_TRUE(Contains(run.err, "vrksim: no ")) << run.err;
    }
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::string(kSimulatorKeyPath) + "\\Users\\CORP\\bob"));
}

TEST_F(VrkSimTest, Faults_SetListAndClear)
{
    EXPECT_RUN("fault list", 0, "");
    EXPECT_RUN("fault set authenticateuser 0x80004005", 0, "AuthenticateUser will fail with 0x80004005.\n");
    EXPECT_RUN("fault set CreateComponent 0x80040154", 0, "CreateComponent will fail with 0x80040154.\n");
    EXPECT_RUN("fault list", 0, "CreateComponent 0x80040154\nAuthenticateUser 0x80004005\n");

    // The value that the components read.
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(kSimulatorKeyPath) + "\\Faults").c_str(),
                                             0, KEY_READ, &key));
    DWORD value = 0, size = sizeof value, type = 0;
    EXPECT_EQ(ERROR_SUCCESS,
              ::RegQueryValueExA(key, "AuthenticateUser", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size));
    ::RegCloseKey(key);
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(0x80004005u, value);

    EXPECT_RUN("fault clear AuthenticateUser", 0, "Cleared the fault of AuthenticateUser.\n");
    EXPECT_RUN("fault clear AuthenticateUser", 1, "");
    EXPECT_RUN("fault list", 0, "CreateComponent 0x80040154\n");
    EXPECT_RUN("fault clear", 0, "Cleared all faults.\n");
    EXPECT_RUN("fault list", 0, "");
}
