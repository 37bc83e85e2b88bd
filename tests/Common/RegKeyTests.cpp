// Tests of RegKey: path parsing, opening, copies, enumerations and recursive deletion,
// against a scratch key under HKEY_CURRENT_USER.
#include "Common/Registry/RegEntry.h"
#include "Common/Registry/RegKey.h"
#include "Common/Registry/VrkRegistry.h"
#include "Common/Utility/UniqueResource.h"

#include "LegacyFailureExpectations.h"
#include "support/TestSupport.h"

#include <memory>
#include <vector>

using namespace Veyrak;
using VrkTest::ExpectLegacyFailure;
using VrkTest::KeyExists;
using VrkTest::LegacyFailure;

namespace
{

const LegacyFailure kNoBackslash{"Invalid registry keyPath string", "RegKey::RegKey(), throw #1", SEVERITY_LEVEL_HIGH,
                                 14021};
const LegacyFailure kUnknownHive{"Invalid registry hive value", "RegEntry::RegEntry(), throw #3", SEVERITY_LEVEL_HIGH,
                                 VRKENG_VRKREGISTRY_INVALIDREGISTRYHIVE};
const LegacyFailure kTopLevelDelete{"Invalid registry keyPath string", "RegEntry::DeleteKey(), throw #2",
                                    SEVERITY_LEVEL_HIGH, 14021};

class RegKeyTest : public VrkTest::ScratchKeyTest
{
protected:
    std::string Below(const std::string& below) const { return ScratchPath() + (below.empty() ? "" : "\\") + below; }
    std::string FullPath(const std::string& below = "") const { return "HKEY_CURRENT_USER\\" + Below(below); }
    bool ScratchHas(const std::string& below) const { return KeyExists(HKEY_CURRENT_USER, Below(below)); }
    void SetRawValue(const std::string& below, const char* name, const char* text = "x") const
    {
        VrkTest::WriteString(HKEY_CURRENT_USER, Below(below), name, text);
    }
};

TEST_F(RegKeyTest, FullPath_WithoutBackslashOrKnownHive_FailsBeforeOpening)
{
    const std::pair<std::string, const LegacyFailure*> rows[] = {
        {"HKEY_CURRENT_USER", &kNoBackslash},      {"", &kNoBackslash},
        {"HKCU\\" + ScratchPath(), &kUnknownHive}, {"hkey_current_user\\" + ScratchPath(), &kUnknownHive},
        {"\\" + ScratchPath(), &kUnknownHive},     {"HKEY_CURRENT_USERX\\" + ScratchPath(), &kUnknownHive},
    };
    for (const auto& [fullPath, failure] : rows)
    {
        SCOPED_TRACE(fullPath);
        ExpectLegacyFailure(*failure, [&] { RegKey key(fullPath, RegSam::KeyAllAccess); });
    }
}

TEST_F(RegKeyTest, Constructors_SplitThePathAndOpenOrCreateTheKey)
{
    SetRawValue("Old", "kept");
    RegKey old(FullPath("Old"), RegSam::KeyRead);
    EXPECT_TRUE(RegEntry(old, "kept").Exists()) << "an existing key is opened as it is";

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

TEST_F(RegKeyTest, CopiesAndAssignments_OpenTheirOwnHandles)
{
    auto original = std::make_unique<RegKey>(FullPath("Source"), RegSam::KeyAllAccess);
    SetRawValue("Source\\Child", "");
    RegKey copy(*original);
    RegKey assigned(FullPath("Other"), RegSam::KeyRead);
    assigned = *original;
    EXPECT_EQ(RegSam::KeyAllAccess, assigned.GetSam());

    original.reset(); // closes the original's handle
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
    for (const char* name : {"beta", "alpha", "gamma"})
        VrkTest::CreateKey(HKEY_CURRENT_USER, Below("Parent\\") + name);
    SetRawValue("Parent", "v1", "1");
    SetRawValue("Parent", "v2", "2");
    RegKey parent(FullPath("Parent"), RegSam::KeyAllAccess);

    UniqueHkey raw; // the platform's own index order
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_CURRENT_USER, Below("Parent").c_str(), 0, KEY_READ, raw.put()));
    std::vector<std::string> expected;
    char name[16];
    for (DWORD index = 0; ::RegEnumKeyA(raw.get(), index, name, sizeof name) == ERROR_SUCCESS; ++index)
        expected.push_back(name);
    raw.reset();
    ASSERT_EQ(3u, expected.size());
    std::vector<RegKey> subkeys;
    parent.EnumerateKeys(subkeys);
    parent.EnumerateKeys(subkeys);
    ASSERT_EQ(6u, subkeys.size());
    for (size_t index = 0; index < subkeys.size(); ++index)
    {
        SCOPED_TRACE(index);
        EXPECT_EQ(expected[index % 3], subkeys[index].GetName());
        EXPECT_EQ(Below("Parent\\" + expected[index % 3]), subkeys[index].GetKeyPath());
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

    RegKey empty(FullPath("Parent\\alpha"), RegSam::KeyRead);
    empty.EnumerateKeys(subkeys);
    empty.EnumerateEntries(entries);
    EXPECT_EQ(6u, subkeys.size());
    EXPECT_EQ(4u, entries.size());
}

TEST_F(RegKeyTest, DeleteKey_RemovesADeepTreeDeepestFirstAndKeepsItsParent)
{
    for (const char* path : {"Tree\\L1a\\L2\\L3\\L4", "Tree\\L1b", "Tree\\L1a\\L2b", "Tree", "Tree\\L1a\\L2"})
        SetRawValue(path, "value");
    RegKey tree(FullPath("Tree"), RegSam::KeyAllAccess);
    tree.DeleteKey(); // the platform deletes only keys without subkeys
    EXPECT_FALSE(ScratchHas("Tree"));
    EXPECT_TRUE(ScratchHas(""));
}

TEST_F(RegKeyTest, DeleteKey_DirectlyUnderTheHive_EmptiesTheKeyThenFails_AndTheHiveItselfIsNeverTouched)
{
    // Named to come first among the hive's subkeys, where emptying the whole hive would begin.
    const std::string topLevel = "!VrkTestsTopLevel";
    RegKey key(RegHive::CurrentUser, topLevel, RegSam::KeyAllAccess);
    VrkTest::WriteString(HKEY_CURRENT_USER, topLevel + "\\Child", "v", "");
    VrkTest::WriteString(HKEY_CURRENT_USER, topLevel, "v", "");

    RegKey hive("HKEY_CURRENT_USER\\", RegSam::KeyAllAccess);
    ExpectLegacyFailure(kTopLevelDelete, [&] { hive.DeleteKey(); });
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, topLevel + "\\Child"));
    std::vector<RegKey> subkeys; // named by their own names alone
    hive.EnumerateKeys(subkeys);
    ASSERT_FALSE(subkeys.empty());
    EXPECT_EQ(subkeys[0].GetName(), subkeys[0].GetKeyPath());

    ExpectLegacyFailure(kTopLevelDelete, [&] { key.DeleteKey(); });
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, topLevel));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, topLevel + "\\Child"));
    EXPECT_FALSE(RegEntry(key, "v").Exists());
    VrkTest::DeleteTree(HKEY_CURRENT_USER, topLevel);
}

TEST_F(RegKeyTest, KeyWithoutHandleOrAccess_FailsEveryOperationThatNeedsThem)
{
    RegKey key(FullPath(), RegSam::KeyAllAccess);
    VrkRegistry::Instance()->CloseKey(key);
    VrkRegistry::Instance()->CloseKey(key); // a second close does nothing
    ASSERT_FALSE(key.IsValid());
    std::vector<RegKey> subkeys;
    std::vector<RegEntry> entries;
    const auto invalid = [](const char* site)
    {
        return LegacyFailure{"This RegKey object is invalid.", site, SEVERITY_LEVEL_MEDIUM, 14022};
    };
    ExpectLegacyFailure(invalid("RegKey::EnumerateKeys, throw #1"), [&] { key.EnumerateKeys(subkeys); });
    ExpectLegacyFailure(invalid("RegKey::EnumerateEntries, throw #1"), [&] { key.EnumerateEntries(entries); });
    ExpectLegacyFailure(invalid("RegKey::DeleteKey(), throw #1"), [&] { key.DeleteKey(); });
    VrkRegistry::Instance()->DeleteKey(key, "anything"); // a parent without a handle deletes nothing
    EXPECT_TRUE(ScratchHas(""));

    SetRawValue("Locked\\Child", "value");
    SetRawValue("Locked", "value");
    RegKey setOnly(FullPath("Locked"), RegSam::KeySetValue);
    ExpectLegacyFailure({"Error in Win32 API call RegEnumKey. Windows returned error code: 5",
                         "RegKey::EnumerateKeys(), throw #4", SEVERITY_LEVEL_HIGH, 14023},
                        [&] { setOnly.EnumerateKeys(subkeys); });
    ExpectLegacyFailure({"Error in Win32 API call RegEnumValue. Windows returned error code: 5",
                         "RegKey::EnumerateEntries(), throw #3", SEVERITY_LEVEL_HIGH, 14023},
                        [&] { setOnly.EnumerateEntries(entries); });
    EXPECT_TRUE(subkeys.empty() && entries.empty());
}

// The root keys are pseudo handles, sign-extended in a 64-bit process: a wrapper that holds
// one must leave it alone, while a key that was opened is closed with the wrapper.
TEST_F(RegKeyTest, UniqueHkey_ClosesOpenedKeysButNeverThePredefinedRoots)
{
    const HKEY predefined[] = {
        HKEY_CLASSES_ROOT,     HKEY_CURRENT_USER,   HKEY_LOCAL_MACHINE, HKEY_USERS,
        HKEY_PERFORMANCE_DATA, HKEY_CURRENT_CONFIG, HKEY_DYN_DATA,      HiveHandle(RegHive::LocalMachine)};
    for (HKEY root : predefined)
    {
        SCOPED_TRACE(reinterpret_cast<LONG_PTR>(root));
        EXPECT_TRUE(IsPredefinedRegistryKey(root));
    }
    const LONG neighbours[] = {0x7FFFFFFF, static_cast<LONG>(0x80000100u), 0x100, 0};
    for (LONG value : neighbours)
        EXPECT_FALSE(IsPredefinedRegistryKey(reinterpret_cast<HKEY>(static_cast<LONG_PTR>(value)))) << value;

    SetRawValue("Opened", "value");
    HKEY opened = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_CURRENT_USER, Below("Opened").c_str(), 0, KEY_READ, &opened));
    EXPECT_FALSE(IsPredefinedRegistryKey(opened));
    {
        UniqueHkey root(HKEY_LOCAL_MACHINE);
        UniqueHkey key(opened);
    }
    EXPECT_EQ(ERROR_INVALID_HANDLE, ::RegQueryInfoKeyA(opened, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                       nullptr, nullptr, nullptr, nullptr, nullptr));
    UniqueHkey software;
    EXPECT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, software.put()));
}

} // namespace
