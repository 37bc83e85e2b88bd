// Tests of RegKey: path parsing, opening, copies, enumerations and recursive deletion,
// against a scratch key under HKEY_CURRENT_USER.
#include "Common/Registry/RegEntry.h"
#include "Common/Registry/RegKey.h"
#include "Common/Registry/VrkRegistry.h"

#include "LegacyFailureExpectations.h"
#include "support/TestSupport.h"

#include <memory>
#include <vector>

using namespace Veyrak;
using VrkTest::ExpectLegacyFailure;
using VrkTest::KeyExists;

namespace
{

class RegKeyTest : public VrkTest::ScratchKeyTest
{
protected:
    std::string FullPath(const std::string& below = "") const
    {
        return "HKEY_CURRENT_USER\\" + ScratchPath() + (below.empty() ? "" : "\\" + below);
    }
    bool ScratchHas(const std::string& below) const
    {
        return KeyExists(HKEY_CURRENT_USER, ScratchPath() + "\\" + below);
    }
    void SetRawString(const std::string& below, const std::string& name, const std::string& value) const
    {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_CURRENT_USER, (ScratchPath() + "\\" + below).c_str(), 0,
                                                   nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
        ::RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                         static_cast<DWORD>(value.size() + 1));
        ::RegCloseKey(key);
    }
    // Names of the scratch subkey's children in the platform's index order.
    std::vector<std::string> RawSubkeyNames(const std::string& below) const
    {
        std::vector<std::string> names;
        HKEY key = nullptr;
        if (::RegOpenKeyExA(HKEY_CURRENT_USER, (ScratchPath() + "\\" + below).c_str(), 0, KEY_READ, &key))
            return names;
        char name[256];
        for (DWORD index = 0; ::RegEnumKeyA(key, index, name, sizeof name) == ERROR_SUCCESS; ++index)
            names.push_back(name);
        ::RegCloseKey(key);
        return names;
    }
};

TEST_F(RegKeyTest, FullPath_WithoutBackslashOrKnownHive_FailsBeforeOpening)
{
    const VrkTest::LegacyFailure k1{"Invalid registry keyPath string", "RegKey::RegKey(), throw #1",
                                    SEVERITY_LEVEL_HIGH, 14021};
    const VrkTest::LegacyFailure k2{"Invalid registry hive value", "RegEntry::RegEntry(), throw #3",
                                    SEVERITY_LEVEL_HIGH, VRKENG_VRKREGISTRY_INVALIDREGISTRYHIVE};
    struct Row
    {
        std::string fullPath;
        const VrkTest::LegacyFailure* failure;
    };
    const Row rows[] = {
        {"HKEY_CURRENT_USER", &k1},
        {"", &k1},
        {"HKCU\\" + ScratchPath(), &k2},
        {"hkey_current_user\\" + ScratchPath(), &k2},
        {"HKEY_Current_User\\" + ScratchPath(), &k2},
        {"\\" + ScratchPath(), &k2},
        {"HKEY_CURRENT_USERX\\" + ScratchPath(), &k2},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.fullPath);
        ExpectLegacyFailure(*row.failure, [&] { RegKey key(row.fullPath, RegSam::KeyAllAccess); });
    }
}

TEST_F(RegKeyTest, FullPath_SplitsHivePathAndName)
{
    RegKey deep(FullPath("New\\Deep"), RegSam::KeyRead);
    EXPECT_EQ(RegHive::CurrentUser, deep.GetHive());
    EXPECT_EQ(ScratchPath() + "\\New\\Deep", deep.GetKeyPath());
    EXPECT_EQ("Deep", deep.GetName());
    EXPECT_EQ(RegSam::KeyRead, deep.GetSam());
    EXPECT_TRUE(deep.IsValid());

    // A trailing backslash leaves the name empty but still opens the key.
    RegKey trailing(FullPath() + "\\", RegSam::KeyRead);
    EXPECT_EQ(ScratchPath() + "\\", trailing.GetKeyPath());
    EXPECT_EQ("", trailing.GetName());
    EXPECT_TRUE(trailing.IsValid());

    RegKey machine("HKEY_LOCAL_MACHINE\\Software", RegSam::KeyRead);
    EXPECT_EQ(RegHive::LocalMachine, machine.GetHive());
}

TEST_F(RegKeyTest, FullPath_WithSingleBackslash_HasEqualPathAndName)
{
    const std::string topLevel = "VrkTestsSingle";
    {
        RegKey key("HKEY_CURRENT_USER\\" + topLevel, RegSam::KeyAllAccess);
        EXPECT_EQ(topLevel, key.GetKeyPath());
        EXPECT_EQ(topLevel, key.GetName());
    }
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, topLevel));
    VrkTest::DeleteTree(HKEY_CURRENT_USER, topLevel);
}

TEST_F(RegKeyTest, HiveAndPath_CreatesMissingKeysAndReopensExistingOnes)
{
    {
        RegKey created(RegHive::CurrentUser, ScratchPath() + "\\A\\B\\C", RegSam::KeyAllAccess);
        EXPECT_EQ("C", created.GetName());
        EXPECT_TRUE(ScratchHas("A\\B\\C"));
    }
    SetRawString("A\\B\\C", "kept", "value");
    RegEntry reopened(RegHive::CurrentUser, ScratchPath() + "\\A\\B\\C", "kept", RegSam::KeyRead);
    std::string value;
    EXPECT_EQ("value", reopened.GetValue(value));

    RegKey noBackslash(RegHive::CurrentUser, "Software", RegSam::KeyRead);
    EXPECT_EQ("", noBackslash.GetName());
}

TEST_F(RegKeyTest, CopiesAndAssignments_OpenTheirOwnHandles)
{
    std::unique_ptr<RegKey> original(new RegKey(FullPath("Source"), RegSam::KeyAllAccess));
    SetRawString("Source\\Child", "", "x");
    RegKey copy(*original);
    RegKey assigned(FullPath("Other"), RegSam::KeyRead);
    assigned = *original;
    EXPECT_EQ(original->GetKeyPath(), assigned.GetKeyPath());
    EXPECT_EQ("Source", assigned.GetName());
    EXPECT_EQ(RegSam::KeyAllAccess, assigned.GetSam());

    // Closing the original must leave both others usable.
    original.reset();
    for (const RegKey* key : {&copy, &assigned})
    {
        std::vector<RegKey> subkeys;
        key->EnumerateKeys(subkeys);
        ASSERT_EQ(1u, subkeys.size());
        EXPECT_EQ("Child", subkeys[0].GetName());
    }
}

TEST_F(RegKeyTest, Enumerations_AppendInIndexOrderAndLeaveEmptyKeysAlone)
{
    RegKey parent(FullPath("Parent"), RegSam::KeyAllAccess);
    for (const char* name : {"beta", "alpha", "gamma"})
        SetRawString(std::string("Parent\\") + name, "", "");
    SetRawString("Parent", "v1", "1");
    SetRawString("Parent", "v2", "2");

    std::vector<RegKey> subkeys;
    parent.EnumerateKeys(subkeys);
    parent.EnumerateKeys(subkeys);
    const std::vector<std::string> expected = RawSubkeyNames("Parent");
    ASSERT_EQ(3u, expected.size());
    ASSERT_EQ(6u, subkeys.size());
    for (size_t index = 0; index < subkeys.size(); ++index)
    {
        SCOPED_TRACE(index);
        EXPECT_EQ(expected[index % 3], subkeys[index].GetName());
        EXPECT_EQ(parent.GetKeyPath() + "\\" + expected[index % 3], subkeys[index].GetKeyPath());
        EXPECT_TRUE(subkeys[index].IsValid());
    }

    std::vector<RegEntry> entries;
    parent.EnumerateEntries(entries);
    parent.EnumerateEntries(entries);
    ASSERT_EQ(4u, entries.size());
    EXPECT_EQ(entries[0].GetName(), entries[2].GetName());
    EXPECT_EQ(entries[1].GetName(), entries[3].GetName());
    std::string value;
    EXPECT_EQ(entries[0].GetName().substr(1), entries[0].GetValue(value));

    // An empty key appends nothing.
    RegKey empty(FullPath("Parent\\alpha"), RegSam::KeyRead);
    empty.EnumerateKeys(subkeys);
    EXPECT_EQ(6u, subkeys.size());
    std::vector<RegEntry> noEntries;
    RegKey valueless(FullPath("Parent\\beta"), RegSam::KeyAllAccess);
    RegEntry(valueless, "").Delete();
    valueless.EnumerateEntries(noEntries);
    EXPECT_TRUE(noEntries.empty());
}

TEST_F(RegKeyTest, DeleteKey_RemovesADeepTreeAndKeepsItsParent)
{
    for (const char* path : {"Tree\\L1a\\L2\\L3\\L4", "Tree\\L1b", "Tree\\L1a\\L2b"})
        SetRawString(path, "leaf", "x");
    SetRawString("Tree", "top", "x");
    SetRawString("Tree\\L1a\\L2", "mid", "x");

    RegKey tree(FullPath("Tree"), RegSam::KeyAllAccess);
    tree.DeleteKey();
    // The platform deletes only keys without subkeys, so success means deepest first.
    EXPECT_FALSE(ScratchHas("Tree"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, ScratchPath()));
    EXPECT_TRUE(tree.IsValid());
}

TEST_F(RegKeyTest, DeleteKey_DirectlyUnderItsHive_EmptiesItThenFails)
{
    const std::string topLevel = "VrkTestsTopLevel";
    VrkTest::DeleteTree(HKEY_CURRENT_USER, topLevel);
    RegKey key(RegHive::CurrentUser, topLevel, RegSam::KeyAllAccess);
    RegEntry(key, "value").SetValue("x");
    RegKey child(RegHive::CurrentUser, topLevel + "\\Child", RegSam::KeyAllAccess);

    ExpectLegacyFailure(
        {"Invalid registry keyPath string", "RegEntry::DeleteKey(), throw #2", SEVERITY_LEVEL_HIGH, 14021},
        [&] { key.DeleteKey(); });
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, topLevel));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, topLevel + "\\Child"));
    EXPECT_FALSE(RegEntry(key, "value").Exists());
    EXPECT_TRUE(key.IsValid());
    VrkTest::DeleteTree(HKEY_CURRENT_USER, topLevel);
}

TEST_F(RegKeyTest, DeleteKey_OnTheHiveItself_FailsWithoutDeletingAnything)
{
    RegKey hive("HKEY_CURRENT_USER\\", RegSam::KeyAllAccess);
    EXPECT_EQ("", hive.GetKeyPath());
    ExpectLegacyFailure(
        {"Invalid registry keyPath string", "RegEntry::DeleteKey(), throw #2", SEVERITY_LEVEL_HIGH, 14021},
        [&] { hive.DeleteKey(); });
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, ScratchPath()));

    // Its subkeys are named by their own names alone.
    std::vector<RegKey> subkeys;
    hive.EnumerateKeys(subkeys);
    ASSERT_FALSE(subkeys.empty());
    for (const RegKey& subkey : subkeys)
        EXPECT_EQ(subkey.GetName(), subkey.GetKeyPath());
}

TEST_F(RegKeyTest, KeyWithoutHandle_FailsEveryOperationThatNeedsOne)
{
    RegKey key(FullPath(), RegSam::KeyAllAccess);
    VrkRegistry::Instance()->CloseKey(key);
    VrkRegistry::Instance()->CloseKey(key); // a second close is a no-op
    ASSERT_FALSE(key.IsValid());
    std::vector<RegKey> subkeys;
    std::vector<RegEntry> entries;
    ExpectLegacyFailure(
        {"This RegKey object is invalid.", "RegKey::EnumerateKeys, throw #1", SEVERITY_LEVEL_MEDIUM, 14022},
        [&] { key.EnumerateKeys(subkeys); });
    ExpectLegacyFailure(
        {"This RegKey object is invalid.", "RegKey::EnumerateEntries, throw #1", SEVERITY_LEVEL_MEDIUM, 14022},
        [&] { key.EnumerateEntries(entries); });
    ExpectLegacyFailure(
        {"This RegKey object is invalid.", "RegKey::DeleteKey(), throw #1", SEVERITY_LEVEL_MEDIUM, 14022},
        [&] { key.DeleteKey(); });
    EXPECT_FALSE(VrkRegistry::Instance()->Exists(key, ""));
    VrkRegistry::Instance()->DeleteKey(key, "anything"); // a parent without a handle deletes nothing
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, ScratchPath()));

    // Opening again gives the key a handle once more.
    VrkRegistry::Instance()->CreateKey(key);
    EXPECT_TRUE(key.IsValid());
}

TEST_F(RegKeyTest, Enumerations_WithoutTheNeededAccess_ReportThePlatformCode)
{
    SetRawString("Locked\\Child", "", "");
    SetRawString("Locked", "value", "x");
    RegKey setOnly(FullPath("Locked"), RegSam::KeySetValue);
    std::vector<RegKey> subkeys;
    std::vector<RegEntry> entries;
    ExpectLegacyFailure({"Error in Win32 API call RegEnumKey. Windows returned error code: 5",
                         "RegKey::EnumerateKeys(), throw #4", SEVERITY_LEVEL_HIGH, 14023},
                        [&] { setOnly.EnumerateKeys(subkeys); });
    ExpectLegacyFailure({"Error in Win32 API call RegEnumValue. Windows returned error code: 5",
                         "RegKey::EnumerateEntries(), throw #3", SEVERITY_LEVEL_HIGH, 14023},
                        [&] { setOnly.EnumerateEntries(entries); });
    EXPECT_TRUE(subkeys.empty());
    EXPECT_TRUE(entries.empty());
}

} // namespace
