// Tests of the user directory over a scratch registry key, for names that vrksim.exe cannot pass;
// its other behaviour is tested through vrksim.exe and the components.
#include "SimulatorTestSupport.h"

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
    const std::pair<std::wstring, std::wstring> rows[] = {{L"", L"anna"},
                                                          {L"CORP", L""},
                                                          {L"CORP\\SUB", L"anna"},
                                                          {L"CORP", L"an\\na"},
                                                          {L"CORP", longest + L"a"},
                                                          {L"CORP", std::wstring(L"an\0na", 5)}};
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
