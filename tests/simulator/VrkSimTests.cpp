// Tests of vrksim's command (RunAdminCommand) against scratch settings, then of vrksim.exe itself.
#include "SimulatorTestSupport.h"

#include "simulator/AdminCommand.h"
#include "simulator/FaultRehearsal.h"

#include <cstdio>
#include <sstream>

using namespace VrkTest;
using namespace Veyrak::Simulator;

namespace
{

// A command line split at blanks ('' is an empty word) and what it must give; "*" is any output but
// none. Failures explain themselves on standard error, wrong usage with a hint.
struct Step
{
    std::string arguments;
    int exitCode;
    std::string out = "";
};

class VrkSimTest : public ScratchKeyTest
{
protected:
    void Run(std::initializer_list<Step> steps, const std::string& below = "")
    {
        const SettingsLocation location{HKEY_CURRENT_USER, Widen(ScratchPath() + below)};
        for (const Step& step : steps)
        {
            SCOPED_TRACE("vrksim " + step.arguments);
            std::vector<std::wstring> words;
            std::istringstream stream(step.arguments);
            for (std::string word; stream >> word;)
                words.push_back(word == "''" ? L"" : Widen(word));
            CommandOutput output;
            EXPECT_EQ(step.exitCode, RunAdminCommand(words, output, location));
            if (step.out == "*")
                EXPECT_NE(L"", output.out);
            else
                EXPECT_EQ(Widen(step.out), output.out);
            const std::string err = ::testing::PrintToString(output.err);
            EXPECT_EQ(step.exitCode == 0 ? std::wstring::npos : 0, output.err.find(L"vrksim: ")) << err;
            EXPECT_EQ(step.exitCode == kExitUsage, output.err.find(L"vrksim --help") != std::wstring::npos) << err;
        }
    }
    // Every key and value in the settings, as RegistryTree lines (numbers in decimal).
    std::multiset<std::string> Settings() const { return RegistryTree(HKEY_CURRENT_USER, ScratchPath()); }
};

using Values = std::multiset<std::string>;

} // namespace

TEST_F(VrkSimTest, WrongUsage_ExitsWithTwoAndChangesNothing)
{
    Run({{"--help", 0, "*"}, {"users add CORP " + std::string(256, 'a'), 2}});
    for (const char* arguments :
         {"", "frobnicate", "users", "users add CORP", "users add CORP anna extra", "users add CORP anna --enabled",
          "users add CORP\\SUB anna", "users add '' anna", "users add CORP ''", "users remove CORP", "users list A B",
          "fault", "fault clear Nothing", "fault list all"})
        Run({{arguments, kExitUsage}});
    for (const char* arguments :
         {"AuthenticateUser", "Authenticate 0x80004005", "AuthenticateUser 80004005", "AuthenticateUser 0x8000400G",
          "AuthenticateUser 0x800040050", "AuthenticateUser 0x00000001"})
        Run({{std::string("fault set ") + arguments, kExitUsage}});
    EXPECT_EQ(Values{}, Settings());
}

TEST_F(VrkSimTest, Users_AddSwitchListAndRemoveMatchingNamesCaseInsensitively)
{
    Run({{"users list", 0},
         {"users add CORP anna", 0, "Added CORP\\anna (enabled).\n"},
         {"users add West zoe --disabled", 0, "Added West\\zoe (disabled).\n"},
         {"users add corp Bob", 0, "Added corp\\Bob (enabled).\n"},
         {"users add CORP ANNA --disabled", 0, "Updated CORP\\ANNA (disabled).\n"},
         {"users list", 0, "CORP\\anna disabled\nCORP\\Bob enabled\nWest\\zoe disabled\n"},
         {"users enable corp ANNA", 0, "Enabled corp\\ANNA.\n"},
         {"users disable CORP bob", 0, "Disabled CORP\\bob.\n"},
         {"users enable CORP nobody", kExitNotFound},
         {"users disable OTHER anna", kExitNotFound},
         {"users remove CORP ''", kExitNotFound},
         {"users list corp", 0, "CORP\\anna enabled\nCORP\\Bob disabled\n"},
         {"users remove West ZOE", 0, "Removed West\\ZOE.\n"},
         {"users remove West zoe", kExitNotFound},
         {"users list West", kExitNotFound},
         {"users add CORP " + std::string(255, 'a'), 0, "Added CORP\\" + std::string(255, 'a') + " (enabled).\n"},
         {"users remove CORP " + std::string(255, 'A'), 0, "Removed CORP\\" + std::string(255, 'A') + ".\n"}});
    EXPECT_EQ((Values{"Users", "Users\\CORP", "Users\\CORP\\anna", "Users\\CORP\\anna:Enabled=D:1", "Users\\CORP\\Bob",
                      "Users\\CORP\\Bob:Enabled=D:0"}),
              Settings());
}

TEST_F(VrkSimTest, Faults_SetListAndClear_AndOnlyFailuresOfKnownOperationsAreSettings)
{
    Run({{"fault clear", 0, "Cleared all faults.\n"},
         {"fault set authenticateuser 0x80004005", 0, "AuthenticateUser will fail with 0x80004005.\n"},
         {"fault set CreateComponent 0x80040154", 0, "CreateComponent will fail with 0x80040154.\n"},
         {"fault set CreateUserHandle 0x8007052e", 0, "CreateUserHandle will fail with 0x8007052E.\n"},
         {"fault list", 0, "CreateComponent 0x80040154\nCreateUserHandle 0x8007052E\nAuthenticateUser 0x80004005\n"},
         {"fault clear AuthenticateUser", 0, "Cleared the fault of AuthenticateUser.\n"},
         {"fault clear authenticateUser", kExitNotFound},
         {"fault list", 0, "CreateComponent 0x80040154\nCreateUserHandle 0x8007052E\n"}});
    EXPECT_EQ((Values{"Faults", "Faults:CreateComponent=D:2147746132", "Faults:CreateUserHandle=D:2147943726"}),
              Settings());
    Run({{"fault clear", 0, "Cleared all faults.\n"}, {"fault list", 0}});
    EXPECT_EQ(Values{}, Settings());

    // The command refuses these first; the settings refuse them too for any other writer.
    const FaultRehearsal faults({HKEY_CURRENT_USER, Widen(ScratchPath())});
    for (HRESULT code : {S_OK, S_FALSE, static_cast<HRESULT>(0x7FFFFFFF)})
        EXPECT_HR(E_INVALIDARG, faults.SetFault(L"AuthenticateUser", code));
    EXPECT_HR(E_INVALIDARG, faults.SetFault(L"Nothing", E_FAIL));
    EXPECT_EQ(Values{}, Settings());
}

TEST_F(VrkSimTest, RegistryRefusal_ExitsWithThree)
{
    // No lasting key can be made below a volatile one.
    Veyrak::UniqueHkey key;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(ScratchKey(), "Volatile", 0, nullptr, REG_OPTION_VOLATILE,
                                               KEY_ALL_ACCESS, nullptr, key.put(), nullptr));
    Run({{"users add CORP anna", 3}, {"fault set AuthenticateUser 0x80004005", 3}}, "\\Volatile");
}

// What only the program does: an empty word from its command line, a problem on standard error in
// CR LF lines, and the command's exit code. The shell sends standard error down the pipe, standard
// output away.
TEST(VrkSimExe, DecodesItsCommandLineAndWritesProblemsToStandardErrorWithTheExitCode)
{
    const std::string command = "\"\"" + ProgramDirectory() + "vrksim.exe\" users remove CORP \"\" 2>&1 >NUL\"";
    FILE* pipe = ::_popen(command.c_str(), "rb");
    ASSERT_NE(nullptr, pipe);
    std::string err;
    for (int c; (c = std::fgetc(pipe)) != EOF;)
        err += static_cast<char>(c);
    EXPECT_EQ(kExitNotFound, ::_pclose(pipe));
    EXPECT_EQ("vrksim: no user CORP\\ in the directory\r\n", err);
}
