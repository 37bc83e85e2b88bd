// Tests of RegEntry and the VrkRegistry singleton: value round trips, the stored bytes,
// the failures the platform reports, and the singleton's one-time creation.
#include "Common/Registry/RegEntry.h"
#include "Common/Registry/VrkRegistry.h"

#include "LegacyFailureExpectations.h"
#include "support/TestSupport.h"

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

using namespace Veyrak;
using VrkTest::ExpectLegacyFailure;
using VrkTest::LegacyFailure;

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
    // The stored type and bytes, as the platform holds them.
    std::pair<DWORD, std::string> RawValue(const std::string& name) const
    {
        char data[256];
        DWORD size = sizeof data;
        DWORD type = 0;
        if (::RegQueryValueExA(ScratchKey(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data), &size))
            return {REG_NONE, "<missing>"};
        return {type, std::string(data, size)};
    }
};

TEST_F(RegEntryTest, Text_RoundTripsAndStoresOneTerminatingZero)
{
    for (const std::string text : {"plain", "", "with spaces and \xE9"})
    {
        SCOPED_TRACE(text);
        RegEntry entry = Entry("text");
        entry.SetValue(text);
        EXPECT_EQ(std::make_pair(DWORD(REG_SZ), text + '\0'), RawValue("text"));
        std::string read = "poison";
        EXPECT_EQ(text, entry.GetValue(read));
        EXPECT_EQ(text, read);
    }
    // The default value is the empty name.
    RegEntry defaultValue = Entry("");
    defaultValue.SetValue(std::string("default"));
    EXPECT_EQ("default", VrkTest::ReadString(HKEY_CURRENT_USER, ScratchPath()));
}

TEST_F(RegEntryTest, Number_IsFourBytesAndReadsBackAsItsBytesAsText)
{
    RegEntry entry = Entry("number");
    const DWORD one = 1;
    entry.SetValue(one);
    EXPECT_EQ(std::make_pair(DWORD(REG_DWORD), std::string("\x01\0\0\0", 4)), RawValue("number"));
    std::string text;
    EXPECT_EQ(std::string(1, '\x01'), entry.GetValue(text));

    const DWORD several = 0x00434241; // "ABC" then a zero byte
    entry.SetValue(several);
    EXPECT_EQ("ABC", entry.GetValue(text));
}

TEST_F(RegEntryTest, TextList_RoundTripsUpToTheFirstEmptyText)
{
    struct Row
    {
        const char* label;
        Texts written;
        std::string storedBytes;
        Texts readBack;
    };
    const Row rows[] = {
        {"three", {"a", "bc", "def"}, std::string("a\0bc\0def\0\0", 10), {"a", "bc", "def"}},
        {"empty list", {}, std::string("\0", 1), {}},
        {"empty in the middle", {"a", "", "c"}, std::string("a\0\0c\0\0", 6), {"a"}},
        {"only an empty text", {""}, std::string("\0\0", 2), {}},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.label);
        RegEntry entry = Entry("list");
        entry.SetValue(row.written);
        EXPECT_EQ(std::make_pair(DWORD(REG_MULTI_SZ), row.storedBytes), RawValue("list"));
        Texts read = {"stale", "entries"};
        EXPECT_EQ(row.readBack, entry.GetValue(read));
        EXPECT_EQ(row.readBack, read);
    }
    // A plain text read as a list is a list of one.
    RegEntry text = Entry("text");
    text.SetValue(std::string("single"));
    Texts read;
    EXPECT_EQ(Texts{"single"}, text.GetValue(read));
}

TEST_F(RegEntryTest, MissingValue_ReadFailsWithCodeTwoAndLeavesOutputAlone)
{
    RegEntry missing = Entry("missing");
    EXPECT_FALSE(missing.Exists());
    const LegacyFailure r3{"Unable to set registry string value, Win32 returned 2",
                           "VrkRegistry::GetValue(vrkstring), throw #2", SEVERITY_LEVEL_MEDIUM,
                           VRKENG_VRKREGISTRY_COULDNOTGETVALUE};
    std::string text = "unchanged";
    ExpectLegacyFailure(r3, [&] { missing.GetValue(text); });
    EXPECT_EQ("unchanged", text);
    Texts texts = {"unchanged"};
    ExpectLegacyFailure(r3, [&] { missing.GetValue(texts); });
    EXPECT_EQ(Texts{"unchanged"}, texts);

    // Deleting what is not there is no failure; deleting what is there removes it.
    missing.Delete();
    missing.SetValue(std::string("now here"));
    EXPECT_TRUE(missing.Exists());
    missing.Delete();
    EXPECT_FALSE(missing.Exists());
    EXPECT_EQ("<missing>", RawValue("missing").second);
}

TEST_F(RegEntryTest, PlatformRefusals_RaiseTheirOwnFailures)
{
    Entry("present").SetValue(std::string("x"));
    RegEntry readOnly = Entry("present", RegSam::KeyQueryValue);
    struct Row
    {
        const char* label;
        LegacyFailure failure;
        std::function<void()> action;
    };
    const Row rows[] = {
        {"text write",
         {"Unable to set registry string value, Win32 returned 5", "VrkRegistry::SetValue(vrkstring), throw #1",
          SEVERITY_LEVEL_MEDIUM, VRKENG_VRKREGISTRY_COULDNOTSETVALUE},
         [&]
         {
             readOnly.SetValue(std::string("y"));
         }},
        {"number write",
         {"Unable to set registry DWORD value, Win32 returned 5", "VrkRegistry::SetValue(dword), throw #1",
          SEVERITY_LEVEL_MEDIUM, VRKENG_VRKREGISTRY_COULDNOTSETVALUE},
         [&]
         {
             readOnly.SetValue(DWORD(7));
         }},
        {"list write",
         {"Unable to set registry string value, Win32 returned 5", "VrkRegistry::SetValue(vrkstring), throw #1",
          SEVERITY_LEVEL_MEDIUM, VRKENG_VRKREGISTRY_COULDNOTSETVALUE},
         [&]
         {
             readOnly.SetValue(Texts{"y"});
         }},
        {"value delete",
         {"Unable to delete registry value, Win32 returned 5", "VrkRegistry::DeleteValue(), throw #1",
          SEVERITY_LEVEL_MEDIUM, VRKENG_VRKREGISTRY_COULDDELETEVALUE},
         [&]
         {
             readOnly.Delete();
         }},
        {"subkey delete",
         {"Error in Win32 API call RegDeleteKey. Windows returned error code: 2", "VrkRegistry::DeleteKey(), throw #1",
          SEVERITY_LEVEL_HIGH, 14023},
         [&]
         {
             VrkRegistry::Instance()->DeleteKey(readOnly.GetKey(), "no such subkey");
         }},
        {"key create",
         {"Unable to create registry key", "RegKey::CreateKey(), throw #1", SEVERITY_LEVEL_HIGH,
          VRKENG_VRKREGISTRY_COULDNOTCREATEKEY},
         [&]
         {
             RegEntry(static_cast<RegHive>(0x800000F0u), "Software", "x", RegSam::KeyRead);
         }},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.label);
        ExpectLegacyFailure(row.failure, row.action);
    }
    std::string value;
    EXPECT_EQ("x", readOnly.GetValue(value));
}

TEST_F(RegEntryTest, CopyAndAssignment_GiveTheTargetItsOwnKey)
{
    std::unique_ptr<RegEntry> source(new RegEntry(Entry("shared")));
    source->SetValue(std::string("from source"));
    RegEntry target(RegHive::CurrentUser, ScratchPath() + "\\Elsewhere", "other", RegSam::KeyRead);
    target = *source;
    RegEntry copy(*source);
    EXPECT_EQ("shared", target.GetName());
    EXPECT_EQ(ScratchPath(), target.GetKey().GetKeyPath());
    EXPECT_EQ(RegSam::KeyAllAccess, target.GetKey().GetSam());

    // With the source's handle closed, both still reach the value through their own.
    source.reset();
    std::string value;
    EXPECT_EQ("from source", target.GetValue(value));
    copy.SetValue(std::string("through the copy"));
    EXPECT_EQ("through the copy", target.GetValue(value));
}

TEST(VrkRegistry, ConcurrentFirstInstanceCalls_YieldOneObject)
{
    // Each test runs in its own process, so these are the process's first calls.
    constexpr int kThreads = 16;
    std::atomic<bool> start{false};
    std::vector<VrkRegistry*> seen(kThreads, nullptr);
    std::vector<std::thread> threads;
    for (int index = 0; index < kThreads; ++index)
    {
        threads.emplace_back(
            [&, index]
            {
                while (!start)
                    std::this_thread::yield();
                seen[index] = VrkRegistry::Instance();
            });
    }
    start = true;
    for (std::thread& thread : threads)
        thread.join();
    ASSERT_NE(nullptr, seen[0]);
    for (VrkRegistry* registry : seen)
        EXPECT_EQ(seen[0], registry);
    EXPECT_EQ(seen[0], VrkRegistry::Instance());
}

} // namespace
