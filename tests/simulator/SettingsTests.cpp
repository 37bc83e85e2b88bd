// Tests of the user directory and the rehearsed faults, over a scratch registry key.
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
    std::string UserKey(const std::string& domain, const std::string& user) const
    {
        return ScratchPath() + "\\Users\\" + domain + "\\" + user;
    }
};

using UserDirectoryTest = SettingsTest;
using FaultRehearsalTest = SettingsTest;

std::wstring Describe(const std::vector<DirectoryEntry>& entries)
{
    std::wstring text;
    for (const DirectoryEntry& entry : entries)
        text += entry.domain + L"\\" + entry.user + (entry.enabled ? L"+ " : L"- ");
    return text;
}

} // namespace

TEST_F(UserDirectoryTest, AddUser_WritesTheDocumentedLayoutAndLookupMatchesCaseInsensitively)
{
    UserDirectory directory(Location());
    EXPECT_HR(S_OK, directory.AddUser(L"CORP", L"anna", true));
    EXPECT_HR(S_OK, directory.AddUser(L"CORP", L"bob", false));

    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, UserKey("CORP", "anna")));
    EXPECT_EQ(UserState::Enabled, directory.Lookup(L"CORP", L"anna"));
    EXPECT_EQ(UserState::Enabled, directory.Lookup(L"corp", L"ANNA"));
    EXPECT_EQ(UserState::Disabled, directory.Lookup(L"Corp", L"Bob"));
    EXPECT_EQ(UserState::Missing, directory.Lookup(L"CORP", L"carl"));
    EXPECT_EQ(UserState::Missing, directory.Lookup(L"OTHER", L"anna"));
    EXPECT_EQ(UserState::Missing, directory.Lookup(L"", L"anna"));
}

TEST_F(UserDirectoryTest, AddUser_OfAUserAlreadyThere_SetsTheStateAndKeepsTheStoredSpelling)
{
    UserDirectory directory(Location());
    ASSERT_HR(S_OK, directory.AddUser(L"CORP", L"anna", true));
    EXPECT_HR(S_OK, directory.AddUser(L"corp", L"ANNA", false));

    EXPECT_EQ(UserState::Disabled, directory.Lookup(L"CORP", L"anna"));
    std::vector<DirectoryEntry> entries;
    ASSERT_HR(S_OK, directory.List(nullptr, entries));
    EXPECT_EQ(L"CORP\\anna- ", Describe(entries));
}

TEST_F(UserDirectoryTest, AddUser_RefusesNamesThatCannotBeKeyNames)
{
    UserDirectory directory(Location());
    EXPECT_HR(E_INVALIDARG, directory.AddUser(L"", L"anna", true));
    EXPECT_HR(E_INVALIDARG, directory.AddUser(L"CORP", L"", true));
    EXPECT_HR(E_INVALIDARG, directory.AddUser(L"CORP\\SUB", L"anna", true));
    EXPECT_HR(E_INVALIDARG, directory.AddUser(L"CORP", L"an\\na", true));
    EXPECT_HR(E_INVALIDARG, directory.AddUser(L"CORP", std::wstring(256, L'a'), true));
    EXPECT_HR(E_INVALIDARG, directory.AddUser(L"CORP", std::wstring(L"an\0na", 5), true));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, ScratchPath() + "\\Users"));
    EXPECT_HR(S_OK, directory.AddUser(L"CORP", std::wstring(255, L'a'), true));
    EXPECT_EQ(UserState::Enabled, directory.Lookup(L"corp", std::wstring(255, L'A')));
    // Removed here: the shared DeleteTree helper cannot enumerate a 255-character name.
    EXPECT_HR(S_OK, directory.RemoveUser(L"CORP", std::wstring(255, L'a')));
}

TEST_F(UserDirectoryTest, Lookup_TakesOnlyANonZeroDwordAsEnabled)
{
    UserDirectory directory(Location());
    CreateKey(HKEY_CURRENT_USER, UserKey("CORP", "novalue"));
    CreateKey(HKEY_CURRENT_USER, UserKey("CORP", "text"));
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegOpenKeyExA(HKEY_CURRENT_USER, UserKey("CORP", "text").c_str(), 0, KEY_ALL_ACCESS, &key));
    ::RegSetValueExA(key, "Enabled", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2);
    ::RegCloseKey(key);
    ASSERT_HR(S_OK, directory.AddUser(L"CORP", L"seven", true));
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegOpenKeyExA(HKEY_CURRENT_USER, UserKey("CORP", "seven").c_str(), 0, KEY_ALL_ACCESS, &key));
    DWORD seven = 7;
    ::RegSetValueExA(key, "Enabled", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&seven), sizeof seven);
    ::RegCloseKey(key);

    EXPECT_EQ(UserState::Disabled, directory.Lookup(L"CORP", L"novalue"));
    EXPECT_EQ(UserState::Disabled, directory.Lookup(L"CORP", L"text"));
    EXPECT_EQ(UserState::Enabled, directory.Lookup(L"CORP", L"seven"));
}

TEST_F(UserDirectoryTest, RemoveUser_DropsTheDomainWithItsLastUserOnly)
{
    UserDirectory directory(Location());
    ASSERT_HR(S_OK, directory.AddUser(L"CORP", L"anna", true));
    ASSERT_HR(S_OK, directory.AddUser(L"CORP", L"bob", true));

    EXPECT_HR(S_OK, directory.RemoveUser(L"corp", L"ANNA"));
    EXPECT_EQ(UserState::Missing, directory.Lookup(L"CORP", L"anna"));
    EXPECT_EQ(UserState::Enabled, directory.Lookup(L"CORP", L"bob"));

    EXPECT_HR(S_OK, directory.RemoveUser(L"CORP", L"bob"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, ScratchPath() + "\\Users\\CORP"));

    EXPECT_HR(kNotFound, directory.RemoveUser(L"CORP", L"bob"));
    EXPECT_HR(kNotFound, directory.RemoveUser(L"NOWHERE", L"bob"));
    EXPECT_HR(kNotFound, directory.RemoveUser(L"CORP", L""));
}

TEST_F(UserDirectoryTest, SetEnabled_SwitchesAUserAndReportsAMissingOne)
{
    UserDirectory directory(Location());
    ASSERT_HR(S_OK, directory.AddUser(L"CORP", L"anna", true));
    EXPECT_HR(S_OK, directory.SetEnabled(L"CORP", L"Anna", false));
    EXPECT_EQ(UserState::Disabled, directory.Lookup(L"CORP", L"anna"));
    EXPECT_HR(S_OK, directory.SetEnabled(L"corp", L"anna", true));
    EXPECT_EQ(UserState::Enabled, directory.Lookup(L"CORP", L"anna"));

    EXPECT_HR(kNotFound, directory.SetEnabled(L"CORP", L"bob", true));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, UserKey("CORP", "bob"))) << "enabling must not create a user";
}

TEST_F(UserDirectoryTest, List_OrdersCaseInsensitivelyAndFiltersByDomain)
{
    UserDirectory directory(Location());
    std::vector<DirectoryEntry> entries;
    EXPECT_HR(S_OK, directory.List(nullptr, entries)) << "an empty directory lists nothing";
    EXPECT_TRUE(entries.empty());

    ASSERT_HR(S_OK, directory.AddUser(L"west", L"Zoe", true));
    ASSERT_HR(S_OK, directory.AddUser(L"East", L"bob", false));
    ASSERT_HR(S_OK, directory.AddUser(L"East", L"Anna", true));

    ASSERT_HR(S_OK, directory.List(nullptr, entries));
    EXPECT_EQ(L"East\\Anna+ East\\bob- west\\Zoe+ ", Describe(entries));

    const std::wstring east = L"EAST";
    ASSERT_HR(S_OK, directory.List(&east, entries));
    EXPECT_EQ(L"East\\Anna+ East\\bob- ", Describe(entries));

    const std::wstring north = L"North";
    EXPECT_HR(kNotFound, directory.List(&north, entries));
    EXPECT_TRUE(entries.empty());
}

TEST_F(FaultRehearsalTest, SetFault_IsSeenByActiveFaultUntilCleared)
{
    FaultRehearsal faults(Location());
    EXPECT_HR(S_OK, faults.ActiveFault(L"AuthenticateUser")) << "no Faults key at all";

    EXPECT_HR(S_OK, faults.SetFault(L"authenticateuser", E_ACCESSDENIED));
    EXPECT_HR(E_ACCESSDENIED, faults.ActiveFault(L"AuthenticateUser"));
    EXPECT_HR(S_OK, faults.ActiveFault(L"CreateUserHandle"));
    EXPECT_EQ(L"0x80070005", HResultToHex(faults.ActiveFault(L"AuthenticateUser")));

    EXPECT_HR(S_OK, faults.ClearFault(L"AuthenticateUser"));
    EXPECT_HR(S_OK, faults.ActiveFault(L"AuthenticateUser"));
    EXPECT_HR(kNotFound, faults.ClearFault(L"AuthenticateUser"));
}

TEST_F(FaultRehearsalTest, SetFault_RefusesUnknownOperationsAndSuccessCodes)
{
    FaultRehearsal faults(Location());
    EXPECT_HR(E_INVALIDARG, faults.SetFault(L"Authenticate", E_FAIL));
    EXPECT_HR(E_INVALIDARG, faults.SetFault(L"AuthenticateUser", S_FALSE));
    EXPECT_HR(E_INVALIDARG, faults.ClearFault(L"Nothing"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, ScratchPath() + "\\Faults"));
}

TEST_F(FaultRehearsalTest, ActiveFault_IgnoresSuccessCodesAndOtherTypes)
{
    FaultRehearsal faults(Location());
    CreateKey(HKEY_CURRENT_USER, ScratchPath() + "\\Faults");
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegOpenKeyExA(HKEY_CURRENT_USER, (ScratchPath() + "\\Faults").c_str(), 0, KEY_ALL_ACCESS, &key));
    DWORD success = 1;
    ::RegSetValueExA(key, "CreateUserHandle", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&success), sizeof success);
    ::RegSetValueExA(key, "AuthenticateUser", 0, REG_SZ, reinterpret_cast<const BYTE*>("0x80004005"), 11);
    ::RegCloseKey(key);

    EXPECT_HR(S_OK, faults.ActiveFault(L"CreateUserHandle"));
    EXPECT_HR(S_OK, faults.ActiveFault(L"AuthenticateUser"));
    EXPECT_TRUE(faults.ListFaults().empty());
}

TEST_F(FaultRehearsalTest, ListFaults_AndClearAllFaults)
{
    FaultRehearsal faults(Location());
    ASSERT_HR(S_OK, faults.SetFault(L"AuthenticateUser", E_FAIL));
    ASSERT_HR(S_OK, faults.SetFault(L"CreateComponent", REGDB_E_CLASSNOTREG));

    std::vector<RehearsedFault> list = faults.ListFaults();
    ASSERT_EQ(2u, list.size());
    EXPECT_EQ(L"CreateComponent", list[0].operation);
    EXPECT_HR(REGDB_E_CLASSNOTREG, list[0].result);
    EXPECT_EQ(L"AuthenticateUser", list[1].operation);
    EXPECT_HR(E_FAIL, list[1].result);

    EXPECT_HR(S_OK, faults.ClearAllFaults());
    EXPECT_TRUE(faults.ListFaults().empty());
    EXPECT_HR(S_OK, faults.ClearAllFaults()) << "clearing nothing is no failure";
}
