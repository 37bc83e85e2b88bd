// Tests of RegEntry and the VrkRegistry singleton: stored bytes, copies, failures, one-time creation.
#include "Common/Registry/RegEntry.h"
#include "Common/Registry/RegKey.h"
#include "Common/Registry/VrkRegistry.h"

#include "support/LegacyFailureExpectations.h"
#include "support/TestSupport.h"

#include <atomic>
#include <functional>
#include <memory>
#include <new>
#include <thread>
#include <vector>

using namespace Veyrak;
using VrkTest::ExpectLegacyFailure;
using VrkTest::LegacyFailure;

namespace
{
// The toolbox makes its value buffers (arrays) and the singleton without exceptions: a test can
// refuse the buffers, or hold the singleton's creation until every racing caller is on its way.
std::atomic<bool> g_refuseBuffers{false};
std::atomic<bool> g_holdNextObject{false};
std::atomic<int> g_callersOnTheirWay{0};
int g_callersToAwait = 0;
} // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    if (g_holdNextObject.exchange(false))
        while (g_callersOnTheirWay < g_callersToAwait)
            std::this_thread::yield();
    try
    {
        return ::operator new(size);
    }
    catch (...)
    {
        return nullptr;
    }
}

void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept
{
    return g_refuseBuffers ? nullptr : ::operator new(size, tag);
}

namespace
{

using Texts = std::vector<std::string>;

class RegEntryTest : public VrkTest::ScratchKeyTest
{
protected:
    RegEntry Entry(const std::string& name, RegSam sam = RegSam::KeyAllAccess) const
    {
        return RegEntry(RegHive::CurrentUser, ScratchPath(), name, sam);
    }
    std::pair<DWORD, std::string> RawValue(const std::string& name) const
    {
        return VrkTest::ReadRawValue(HKEY_CURRENT_USER, ScratchPath(), name);
    }
};

TEST_F(RegEntryTest, TextAndNumber_StoreTheirBytes_AndANumberReadsBackAsItsBytesAsText)
{
    RegEntry entry = Entry("value");
    for (const std::string text : {"plain", "", "with \xE9"})
    {
        SCOPED_TRACE(text);
        entry.SetValue(text);
        EXPECT_EQ(std::make_pair(DWORD(REG_SZ), text + '\0'), RawValue("value"));
        std::string read = "poison";
        EXPECT_EQ(text, entry.GetValue(read));
        EXPECT_EQ(text, read);
    }
    entry.SetValue(DWORD(1));
    EXPECT_EQ(std::make_pair(DWORD(REG_DWORD), std::string("\x01\0\0\0", 4)), RawValue("value"));
    std::string text;
    EXPECT_EQ("\x01", entry.GetValue(text));
    entry.SetValue(DWORD(0x00434241)); // "ABC" then a zero byte
    EXPECT_EQ("ABC", entry.GetValue(text));
}

TEST_F(RegEntryTest, TextList_RoundTripsUpToTheFirstEmptyText)
{
    const std::tuple<Texts, std::string, Texts> rows[] = {
        {{"a", "bc", "def"}, std::string("a\0bc\0def\0\0", 10), {"a", "bc", "def"}},
        {Texts{}, std::string("\0", 1), Texts{}},
        {{"a", "", "c"}, std::string("a\0\0c\0\0", 6), {"a"}},
    };
    RegEntry entry = Entry("list");
    for (const auto& [written, storedBytes, readBack] : rows)
    {
        SCOPED_TRACE(::testing::PrintToString(written));
        entry.SetValue(written);
        EXPECT_EQ(std::make_pair(DWORD(REG_MULTI_SZ), storedBytes), RawValue("list"));
        Texts read = {"stale"};
        EXPECT_EQ(readBack, entry.GetValue(read));
        EXPECT_EQ(readBack, read);
    }
}

TEST_F(RegEntryTest, MissingValue_ReadFailsWithCodeTwoLeavingTheOutput_AndDeletesSilently)
{
    RegEntry missing = Entry("missing");
    EXPECT_FALSE(missing.Exists());
    const LegacyFailure r3{"Unable to set registry string value, Win32 returned 2",
                           "VrkRegistry::GetValue(vrkstring), throw #2", SEVERITY_LEVEL_MEDIUM,
                           VRKENG_VRKREGISTRY_COULDNOTGETVALUE};
    std::string text = "unchanged";
    Texts texts = {"unchanged"};
    ExpectLegacyFailure(r3, [&] { missing.GetValue(text); });
    ExpectLegacyFailure(r3, [&] { missing.GetValue(texts); });
    EXPECT_EQ(std::make_pair(std::string("unchanged"), Texts{"unchanged"}), std::make_pair(text, texts));
    missing.Delete();
    missing.SetValue(std::string("now here"));
    EXPECT_TRUE(missing.Exists());
    missing.Delete();
    EXPECT_EQ("<missing>", RawValue("missing").second);
}

// Calls refused for a key without handle or access, an entry without write access, or a value
// buffer not to be had raise their own failures; both buffer failures carry the read's tag.
TEST_F(RegEntryTest, RefusedCalls_RaiseTheirOwnFailures)
{
    Entry("present").SetValue(std::string("x"));
    VrkTest::CreateKey(HKEY_CURRENT_USER, ScratchPath() + "\\Child");
    RegEntry readOnly = Entry("present", RegSam::KeyQueryValue), writable = Entry("present");
    RegKey closed(RegHive::CurrentUser, ScratchPath(), RegSam::KeyAllAccess);
    RegKey setOnly(RegHive::CurrentUser, ScratchPath(), RegSam::KeySetValue);
    VrkRegistry::Instance()->CloseKey(closed);
    VrkRegistry::Instance()->CloseKey(closed); // a second close does nothing
    ASSERT_FALSE(closed.IsValid());
    VrkRegistry::Instance()->DeleteKey(closed, "Child"); // a parent without a handle deletes nothing
    EXPECT_TRUE(VrkTest::KeyExists(HKEY_CURRENT_USER, ScratchPath() + "\\Child"));
    std::string text;
    std::vector<RegKey> subkeys;
    std::vector<RegEntry> entries;
    const char* const kTextWrite = "Unable to set registry string value, Win32 returned 5";
    const char* const kInvalid = "This RegKey object is invalid.";
    const std::pair<std::function<void()>, LegacyFailure> rows[] = {
        {[&] { readOnly.SetValue(std::string("y")); },
         {kTextWrite, "VrkRegistry::SetValue(vrkstring), throw #1", SEVERITY_LEVEL_MEDIUM, 14018}},
        {[&] { readOnly.SetValue(Texts{"y"}); },
         {kTextWrite, "VrkRegistry::SetValue(vrkstring), throw #1", SEVERITY_LEVEL_MEDIUM, 14018}},
        {[&] { readOnly.SetValue(DWORD(7)); },
         {"Unable to set registry DWORD value, Win32 returned 5", "VrkRegistry::SetValue(dword), throw #1",
          SEVERITY_LEVEL_MEDIUM, 14018}},
        {[&] { readOnly.Delete(); },
         {"Unable to delete registry value, Win32 returned 5", "VrkRegistry::DeleteValue(), throw #1",
          SEVERITY_LEVEL_MEDIUM, 14020}},
        {[&] { VrkRegistry::Instance()->DeleteKey(readOnly.GetKey(), "no such subkey"); },
         {"Error in Win32 API call RegDeleteKey. Windows returned error code: 2", "VrkRegistry::DeleteKey(), throw #1",
          SEVERITY_LEVEL_HIGH, 14023}},
        {[&] { writable.SetValue(Texts{"y"}); },
         {"Could not create buffer", "VrkRegistry::GetValue(vrkstring), throw #1", SEVERITY_LEVEL_MEDIUM, 14019}},
        {[&] { writable.GetValue(text); },
         {"Could not create buffer", "VrkRegistry::GetValue(vrkstring), throw #1", SEVERITY_LEVEL_MEDIUM, 14019}},
        {[&] { closed.EnumerateKeys(subkeys); },
         {kInvalid, "RegKey::EnumerateKeys, throw #1", SEVERITY_LEVEL_MEDIUM, 14022}},
        {[&] { closed.EnumerateEntries(entries); },
         {kInvalid, "RegKey::EnumerateEntries, throw #1", SEVERITY_LEVEL_MEDIUM, 14022}},
        {[&] { closed.DeleteKey(); }, {kInvalid, "RegKey::DeleteKey(), throw #1", SEVERITY_LEVEL_MEDIUM, 14022}},
        {[&] { setOnly.EnumerateKeys(subkeys); },
         {"Error in Win32 API call RegEnumKey. Windows returned error code: 5", "RegKey::EnumerateKeys(), throw #4",
          SEVERITY_LEVEL_HIGH, 14023}},
        {[&] { setOnly.EnumerateEntries(entries); },
         {"Error in Win32 API call RegEnumValue. Windows returned error code: 5",
          "RegKey::EnumerateEntries(), throw #3", SEVERITY_LEVEL_HIGH, 14023}},
    };
    for (const auto& [action, failure] : rows)
    {
        SCOPED_TRACE(failure.throwSite);
        g_refuseBuffers = failure.code == 14019;
        ExpectLegacyFailure(failure, action);
        g_refuseBuffers = false;
    }
    EXPECT_EQ("x", writable.GetValue(text));
    EXPECT_TRUE(subkeys.empty() && entries.empty());
}

// Copies and assignments of entries and of keys open handles of their own, which outlive the source's.
TEST_F(RegEntryTest, CopyAndAssignment_GiveTheTargetItsOwnKey)
{
    auto source = std::make_unique<RegEntry>(Entry("shared"));
    RegEntry target(RegHive::CurrentUser, ScratchPath() + "\\Elsewhere", "other", RegSam::KeyRead);
    RegKey assignedKey(RegHive::CurrentUser, ScratchPath() + "\\Other", RegSam::KeyRead);
    target = *source;
    assignedKey = source->GetKey();
    RegEntry copy(*source);
    source.reset(); // closes the source's handle
    copy.SetValue(std::string("through the copy"));
    std::string value;
    EXPECT_EQ("through the copy", target.GetValue(value));
    EXPECT_EQ(RegSam::KeyAllAccess, assignedKey.GetSam());
    std::vector<RegEntry> entries;
    assignedKey.EnumerateEntries(entries);
    ASSERT_EQ(1u, entries.size());
    EXPECT_EQ("shared", entries[0].GetName());
}

TEST(VrkRegistry, ConcurrentFirstInstanceCalls_YieldOneObject)
{
    // Each test runs in its own process, so these are the process's first calls. The first
    // creation is held until all callers are on their way, so none can find the object made.
    std::vector<VrkRegistry*> seen(16, nullptr);
    g_callersToAwait = static_cast<int>(seen.size());
    g_holdNextObject = true;
    std::vector<std::thread> threads;
    for (VrkRegistry*& slot : seen)
        threads.emplace_back(
            [&slot]
            {
                ++g_callersOnTheirWay;
                slot = VrkRegistry::Instance();
            });
    for (std::thread& thread : threads)
        thread.join();
    ASSERT_NE(nullptr, seen[0]);
    for (VrkRegistry* registry : seen)
        EXPECT_EQ(seen[0], registry);
}

} // namespace
