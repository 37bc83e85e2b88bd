// Tests of RegKey: path parsing, enumerations and recursive deletion (copies with RegEntry's).
#include "Common/Registry/RegEntry.h"
#include "Common/Registry/RegKey.h"
#include "Common/Utility/UniqueResource.h"

#include "support/LegacyFailureExpectations.h"
#include "support/TestSupport.h"

#include <vector>

using namespace Veyrak;
using VrkTest::ExpectLegacyFailure;
using VrkTest::KeyExists;
using VrkTest::LegacyFailure;

namespace
{

class RegKeyTest : public VrkTest::ScratchKeyTest
{
protected:
    std::string Below(const std::string& below) const { return ScratchPath() + (below.empty() ? "" : "\\") + below; }
    std::string FullPath(const std::string& below = "") const { return "HKEY_CURRENT_USER\\" + Below(below); }
    bool ScratchHas(const std::string& below) const { return KeyExists(HKEY_CURRENT_USER, Below(below)); }
    void SetRawValue(const std::string& below, const char* name = "value", const char* text = "x") const
    {
        VrkTest::WriteString(HKEY_CURRENT_USER, Below(below), name, text);
    }
};

// A full path without a backslash or known hive fails before opening; any other is split and created.
TEST_F(RegKeyTest, FullPath_WithoutBackslashOrKnownHive_FailsBeforeOpening_OtherwiseIsSplitAndCreated)
{
    const LegacyFailure noBackslash{"Invalid registry keyPath string", "RegKey::RegKey(), throw #1",
                                    SEVERITY_LEVEL_HIGH, 14021};
    const LegacyFailure unknownHive{"Invalid registry hive value", "RegEntry::RegEntry(), throw #3",
                                    SEVERITY_LEVEL_HIGH, VRKENG_VRKREGISTRY_INVALIDREGISTRYHIVE};
    const std::pair<std::string, const LegacyFailure*> rows[] = {
        {"HKEY_CURRENT_USER", &noBackslash},      {"", &noBackslash},
        {"HKCU\\" + ScratchPath(), &unknownHive}, {"hkey_current_user\\" + ScratchPath(), &unknownHive},
        {"\\" + ScratchPath(), &unknownHive},     {"HKEY_CURRENT_USERX\\" + ScratchPath(), &unknownHive},
    };
    for (const auto& [fullPath, failure] : rows)
    {
        SCOPED_TRACE(fullPath);
        ExpectLegacyFailure(*failure, [&] { RegKey key(fullPath, RegSam::KeyAllAccess); });
    }

    RegKey deep(FullPath("New\\Deep"), RegSam::KeyRead);
    EXPECT_TRUE(ScratchHas("New\\Deep"));
    EXPECT_EQ(Below("New\\Deep"), deep.GetKeyPath());
    EXPECT_EQ("Deep", deep.GetName());
    EXPECT_EQ(RegSam::KeyRead, deep.GetSam());
    EXPECT_EQ("", RegKey(FullPath() + "\\", RegSam::KeyRead).GetName());

    RegKey single("HKEY_LOCAL_MACHINE\\Software", RegSam::KeyRead);
    EXPECT_EQ(RegHive::LocalMachine, single.GetHive());
    EXPECT_EQ("Software", single.GetKeyPath());
    EXPECT_EQ("Software", single.GetName());

    EXPECT_EQ("", RegKey(RegHive::CurrentUser, "Software", RegSam::KeyRead).GetName());
}

// The platform keeps a key's subkeys in the order of their names.
TEST_F(RegKeyTest, Enumerations_AppendInIndexOrderAndLeaveEmptyKeysAlone)
{
    for (const char* name : {"beta", "alpha", "gamma"})
        VrkTest::CreateKey(HKEY_CURRENT_USER, Below("Parent\\") + name);
    SetRawValue("Parent", "v1", "1");
    SetRawValue("Parent", "v2", "2");
    RegKey parent(FullPath("Parent"), RegSam::KeyAllAccess);
    std::vector<RegKey> subkeys;
    std::vector<RegEntry> entries;
    for (int twice = 0; twice < 2; ++twice)
        parent.EnumerateKeys(subkeys), parent.EnumerateEntries(entries);
    std::string listed; // each name, and where its path or handle is wrong a "?"
    for (const RegKey& subkey : subkeys)
        listed += subkey.GetName() +
                  (subkey.GetKeyPath() == Below("Parent\\" + subkey.GetName()) && subkey.IsValid() ? " " : "? ");
    EXPECT_EQ("alpha beta gamma alpha beta gamma ", listed);
    ASSERT_EQ(4u, entries.size());
    EXPECT_EQ(entries[0].GetName(), entries[2].GetName());
    EXPECT_EQ(entries[1].GetName(), entries[3].GetName());
    std::string value;
    EXPECT_EQ(entries[0].GetName().substr(1), entries[0].GetValue(value));

    RegKey empty(FullPath("Parent\\alpha"), RegSam::KeyRead);
    empty.EnumerateKeys(subkeys);
    empty.EnumerateEntries(entries);
    EXPECT_EQ(6u, subkeys.size());
    EXPECT_EQ(4u, entries.size());
}

// The platform deletes only keys without subkeys. Directly under the hive a key is emptied before
// the delete fails, and the hive itself is never touched.
TEST_F(RegKeyTest, DeleteKey_RemovesADeepTreeButNeverAKeyDirectlyUnderTheHiveOrTheHive)
{
    for (const char* path : {"Tree\\L1a\\L2\\L3\\L4", "Tree\\L1b", "Tree\\L1a\\L2b", "Tree", "Tree\\L1a\\L2"})
        SetRawValue(path);
    RegKey(FullPath("Tree"), RegSam::KeyAllAccess).DeleteKey();
    EXPECT_FALSE(ScratchHas("Tree"));
    EXPECT_TRUE(ScratchHas(""));

    // Named to come first among the hive's subkeys, where emptying the whole hive would begin.
    const std::string topLevel = "!VrkTestsTopLevel";
    const LegacyFailure topLevelDelete{"Invalid registry keyPath string", "RegEntry::DeleteKey(), throw #2",
                                       SEVERITY_LEVEL_HIGH, 14021};
    RegKey key(RegHive::CurrentUser, topLevel, RegSam::KeyAllAccess);
    VrkTest::WriteString(HKEY_CURRENT_USER, topLevel + "\\Child", "v", "");
    VrkTest::WriteString(HKEY_CURRENT_USER, topLevel, "v", "");
    RegKey hive("HKEY_CURRENT_USER\\", RegSam::KeyAllAccess);
    ExpectLegacyFailure(topLevelDelete, [&] { hive.DeleteKey(); });
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, topLevel + "\\Child"));
    std::vector<RegKey> subkeys; // named by their own names alone
    hive.EnumerateKeys(subkeys);
    ASSERT_FALSE(subkeys.empty());
    EXPECT_EQ(subkeys[0].GetName(), subkeys[0].GetKeyPath());

    ExpectLegacyFailure(topLevelDelete, [&] { key.DeleteKey(); });
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, topLevel));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, topLevel + "\\Child"));
    EXPECT_FALSE(RegEntry(key, "v").Exists());
    VrkTest::DeleteTree(HKEY_CURRENT_USER, topLevel);
}

// The root keys are pseudo handles, sign-extended in a 64-bit process: a wrapper that holds
// one must leave it alone, while a key that was opened is closed with the wrapper.
TEST_F(RegKeyTest, UniqueHkey_ClosesOpenedKeysButNeverThePredefinedRoots)
{
    for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_PERFORMANCE_DATA,
                      HKEY_CURRENT_CONFIG, HKEY_DYN_DATA, HiveHandle(RegHive::LocalMachine)})
        EXPECT_TRUE(IsPredefinedRegistryKey(root)) << root;
    for (LONG neighbour : {LONG(0x7FFFFFFF), static_cast<LONG>(0x80000100u), LONG(0x100), LONG(0)})
        EXPECT_FALSE(IsPredefinedRegistryKey(reinterpret_cast<HKEY>(static_cast<LONG_PTR>(neighbour)))) << neighbour;

    SetRawValue("Opened");
    HKEY opened = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_CURRENT_USER, Below("Opened").c_str(), 0, KEY_READ, &opened));
    EXPECT_FALSE(IsPredefinedRegistryKey(opened));
    for (HKEY handle : {HKEY_LOCAL_MACHINE, opened})
        const UniqueHkey closedOnItsWayOut(handle);
    EXPECT_EQ(ERROR_INVALID_HANDLE, ::RegQueryInfoKeyA(opened, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                       nullptr, nullptr, nullptr, nullptr, nullptr));
}

} // namespace
