// Tests of the user directory and the rehearsed faults over a scratch registry key, for what
// vrksim.exe and the components cannot show (their other behaviour is tested through those).
#include "SimulatorTestSupport.h"

#include "simulator/FaultRehearsal.h"
#include "simulator/SimulatorRegistry.h"
#include "simulator/UserDirectory.h"

using namespace VrkTest;
using namespace Veyrak::Simulator;

namespace
{
class SettingsTest : public ScratchKeyTest
{
protected:
    SettingsLocation Location() const { return {HKEY_CURRENT_USER, Widen(ScratchPath())}; }
    std::string Key(const std::string& child) const { return ScratchPath() + "\\" + child; }
};
} // namespace

TEST_F(SettingsTest, AddUser_RefusesNamesThatCannotBeKeyNames)
{
    UserDirectory directory(Location());
    const std::wstring longest(255, L'a');
    const std::pair<std::wstring, std::wstring> rows[] = {
        {L"", L"anna"},
        {L"CORP", L""},
        {L"CORP\\SUB", L"anna"},
        {L"CORP", L"an\\na"},
        {L"CORP", longest + L"a"},
        {L"CORP", std::wstring(L"an\0na", 5)},
    };
    for (const auto& [domain, user] : rows)
    {
        SCOPED_TRACE(::testing::PrintToString(domain) + " " + ::testing::PrintToString(user));
        EXPECT_HR(E_INVALIDARG, directory.AddUser(domain, user, true));
    }
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Key("Users")));
    EXPECT_HR(S_OK, directory.AddUser(L"CORP", longest, true));
    EXPECT_EQ(UserState::Enabled, directory.Lookup(L"corp", std::wstring(255, L'A')));
    // Removed here: the shared DeleteTree helper cannot enumerate a 255-character name.
    EXPECT_HR(S_OK, directory.RemoveUser(L"CORP", longest));
}

TEST_F(SettingsTest, Faults_OnlyFailureCodesOfKnownOperationsCount)
{
    FaultRehearsal faults(Location());
    EXPECT_HR(S_OK, faults.ActiveFault(L"AuthenticateUser")) << "no Faults key at all";
    EXPECT_HR(E_INVALIDARG, faults.SetFault(L"Authenticate", E_FAIL));
    EXPECT_HR(E_INVALIDARG, faults.SetFault(L"AuthenticateUser", S_FALSE));
    EXPECT_HR(E_INVALIDARG, faults.ClearFault(L"Nothing"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Key("Faults")));

    WriteDword(HKEY_CURRENT_USER, Key("Faults"), "CreateUserHandle", 1);
    WriteString(HKEY_CURRENT_USER, Key("Faults"), "AuthenticateUser", "0x80004005");
    EXPECT_HR(S_OK, faults.ActiveFault(L"CreateUserHandle"));
    EXPECT_HR(S_OK, faults.ActiveFault(L"AuthenticateUser"));
    EXPECT_TRUE(faults.ListFaults().empty());
}
