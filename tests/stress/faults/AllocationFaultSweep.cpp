// AllocationFaultSweep.cpp: fails the allocations of each registration path one at a time (COM task memory through a
// malloc spy, the C++ heap through a replaced operator new) and checks that every failure is reported as documented,
// leaks nothing and leaves the registry as it was or as a clean run leaves it.
#include "Common/Registry/RegEntry.h"
#include "Common/Utility/VRKLegacyException.h"
#include "registrar/Registrar.h"
#include "registrar/ScriptParser.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>

using namespace Veyrak;
using namespace VrkTest;

namespace
{

// Counts the allocations that the armed thread asks for, fails the Nth, and holds the blocks it got
// until that thread frees them. Allocates nothing itself and is constant-initialised, since it
// serves operator new from before main.
struct FaultPlan
{
    constexpr FaultPlan() = default;
    // failAt 0 only counts. Blocks from before are not this run's to account for.
    void Arm(unsigned n)
    {
        failAt = n, count = live = 0, injected = false;
        owner = armed = ::GetCurrentThreadId();
    }
    bool ShouldFail() { return armed == ::GetCurrentThreadId() && ++count == failAt && (injected = true); }
    void* Allocated(void* block)
    {
        if (block && armed == ::GetCurrentThreadId())
            blocks[std::min(live++, kRoom - 1)] = block; // an overflow reads as a leak
        return block;
    }
    void* Freed(void* block)
    {
        void** end = blocks + std::min(live, kRoom);
        void** found = block && owner == ::GetCurrentThreadId() ? std::find(blocks, end, block) : end;
        if (found != end)
            *found = blocks[--live];
        return block;
    }

    static constexpr size_t kRoom = 4096;
    std::atomic<DWORD> armed{0}, owner{0};
    unsigned failAt = 0, count = 0;
    bool injected = false;
    size_t live = 0;
    void* blocks[kRoom] = {};
};

FaultPlan g_plan;
// The block that this thread's reallocation in progress replaces.
thread_local void* t_reallocating = nullptr;

// Sees every COM task allocation. Sizes and pointers pass through unchanged (no header), so blocks
// from before the spy was registered are freed as usual and fSpyed does not matter.
class TaskMemorySpy final : public IMallocSpy
{
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override
    {
        *object = iid == IID_IUnknown || iid == IID_IMallocSpy ? this : nullptr;
        return *object ? S_OK : E_NOINTERFACE;
    }
    // A static object: the reference that registration holds changes nothing.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    // A byte count of 0 fails Alloc without reaching the heap, and fails Realloc keeping the old block.
    STDMETHODIMP_(SIZE_T) PreAlloc(SIZE_T size) override { return g_plan.ShouldFail() ? 0 : size; }
    STDMETHODIMP_(void*) PostAlloc(void* actual) override { return g_plan.Allocated(actual); }
    STDMETHODIMP_(void*) PreFree(void* request, BOOL) override { return g_plan.Freed(request); }
    STDMETHODIMP_(void) PostFree(BOOL) override {}
    STDMETHODIMP_(SIZE_T) PreRealloc(void* request, SIZE_T size, void** newRequest, BOOL) override
    {
        *newRequest = t_reallocating = request;
        if (size == 0) // a free, which cannot be refused
            g_plan.Freed(request);
        return size && !g_plan.ShouldFail() ? size : 0;
    }
    STDMETHODIMP_(void*) PostRealloc(void* actual, BOOL) override
    {
        if (actual)
            g_plan.Freed(t_reallocating);
        return g_plan.Allocated(actual);
    }
    STDMETHODIMP_(void*) PreGetSize(void* request, BOOL) override { return request; }
    STDMETHODIMP_(SIZE_T) PostGetSize(SIZE_T actual, BOOL) override { return actual; }
    STDMETHODIMP_(void*) PreDidAlloc(void* request, BOOL) override { return request; }
    STDMETHODIMP_(int) PostDidAlloc(void*, BOOL, int actual) override { return actual; }
    STDMETHODIMP_(void) PreHeapMinimize() override {}
    STDMETHODIMP_(void) PostHeapMinimize() override {}
};

struct Root
{
    HKEY hive;
    std::string path;
    bool mayStopHalfway = false; // a failure may leave part of the change done, and nothing else
};
using Tree = std::multiset<std::string>;

// Each root's key as a line of its own (an empty key is not a missing one) and everything below it.
std::vector<Tree> Snapshot(const std::vector<Root>& roots)
{
    std::vector<Tree> trees;
    for (const Root& root : roots)
        trees.push_back(RegistryTree(root.hive, root.path)),
            trees.back().insert(KeyExists(root.hive, root.path) ? "<key>" : "<no key>");
    return trees;
}

// A run's outcome is its text: what the run returns, or the exception it throws. The text of an
// exception is made after disarming, so that its allocations are not the path's.
std::string RunOnce(const std::function<std::string()>& run, unsigned failAt)
{
    std::string outcome = "std::bad_alloc";
    int legacyCode = 0;
    g_plan.Arm(failAt);
    try
    {
        outcome = run();
    }
    catch (const VRKLegacyException& error)
    {
        legacyCode = error.GetCode();
    }
    catch (const std::bad_alloc&)
    {
    }
    g_plan.armed = 0;
    return legacyCode ? "VRKLegacyException " + std::to_string(legacyCode) : outcome;
}

class AllocationFaultSweep : public ScratchKeyTest
{
protected:
    void SetUp() override
    {
        ScratchKeyTest::SetUp();
        // The BSTR cache would hold freed strings back from the task allocator, which reads as a leak.
        ASSERT_NE(0u, ::GetEnvironmentVariableA("OANOCACHE", nullptr, 0)) << "run with OANOCACHE=1";
        static TaskMemorySpy spy;
        static const HRESULT registered = ::CoRegisterMallocSpy(&spy);
        ASSERT_HR(S_OK, registered);
    }

    // prepare brings the roots to the state before the run; failures are the documented outcomes of a
    // failed run (none: it reports none, so a run that succeeds must have done all a clean run does).
    void Sweep(const std::string& name, const std::vector<Root>& roots, const std::string& cleanText,
               const std::set<std::string>& failures, const std::function<void()>& prepare,
               const std::function<std::string()>& run)
    {
        SCOPED_TRACE(name);
        // The first run makes what is made once per process: the registry singleton, COM's thread state.
        prepare();
        RunOnce(run, 0);
        prepare();
        const std::vector<Tree> before = Snapshot(roots);
        ASSERT_EQ(cleanText, RunOnce(run, 0));
        const unsigned total = g_plan.count;
        ASSERT_EQ(0u, g_plan.live) << "a clean run leaks";
        ASSERT_GT(total, 0u) << "nothing to sweep";
        const std::vector<Tree> after = Snapshot(roots);
        for (unsigned n = 1; n <= total; ++n)
        {
            SCOPED_TRACE(::testing::Message() << "allocation " << n << " of " << total << " failing");
            prepare();
            const std::string outcome = RunOnce(run, n);
            ASSERT_TRUE(g_plan.injected) << "never asked for: the path does not allocate the same way twice";
            EXPECT_TRUE(outcome == cleanText || failures.count(outcome)) << "undocumented outcome " << outcome;
            EXPECT_EQ(0u, g_plan.live) << "blocks leaked";
            const std::vector<Tree> now = Snapshot(roots);
            EXPECT_TRUE(outcome != cleanText || failures.empty() || now == after) << "succeeded unlike a clean run";
            for (size_t i = 0; i < now.size(); ++i) // partly: every line as before or as after
                EXPECT_TRUE(now[i] == before[i] || now[i] == after[i] ||
                            (roots[i].mayStopHalfway &&
                             std::all_of(now[i].begin(), now[i].end(),
                                         [&](auto& line) { return before[i].count(line) + after[i].count(line); })))
                    << "half-written " << roots[i].path;
        }
    }
};

// A name added twice (the first counts), a value that grows the expansion buffer, and more names than
// the variable map's first room. Before the script runs, a name that finds other than its first value is lost.
TEST_F(AllocationFaultSweep, Interpreter_EachAllocationFailing_IsReportedAndWritesAllOrNothing)
{
    std::vector<std::pair<std::wstring, std::wstring>> variables = {
        {L"Greeting", L"Hello"}, {L"Greeting", L"Ignored"}, {L"Long", std::wstring(1500, L'x')}};
    for (int i = 0; i < 10; ++i)
        variables.emplace_back(L"Name" + std::to_wstring(i), L"Value" + std::to_wstring(i));
    const std::string leaf = ScratchPath().substr(ScratchPath().rfind('\\') + 1), key = ScratchPath() + "\\Sweep";
    const std::string script = "HKCU { NoRemove Software { NoRemove VrkTests { NoRemove '" + leaf +
                               "' { Sweep = s '%Greeting%, 100%%' { val Long = s '%Long%' val Again = s '%long%'"
                               " val Last = s '%Name9%' } } } } }";
    const auto interpret = [&](BOOL doRegister)
    {
        Registrar registrar;
        HRESULT hr = S_OK;
        for (size_t i = 0; i < variables.size() && SUCCEEDED(hr); ++i)
            hr = registrar.AddVariable(variables[i].first.c_str(), variables[i].second.c_str());
        const DWORD armed = g_plan.armed.exchange(0);                  // looking up is no part of the path
        for (size_t i = 0; i < variables.size() && SUCCEEDED(hr); ++i) // the second Greeting finds the first
            if (const std::string name(variables[i].first.begin(), variables[i].first.end());
                !registrar.FindVariable(name.c_str()) ||
                variables[i == 1 ? 0 : i].second != registrar.FindVariable(name.c_str()))
                return "lost " + name;
        g_plan.armed = armed;
        return HResultText(FAILED(hr) ? hr : ScriptParser(registrar).RunScript(script.c_str(), doRegister));
    };
    const std::string ok = HResultText(S_OK);
    ASSERT_EQ(ok, interpret(TRUE));
    EXPECT_EQ("Hello, 100%", ReadString(HKEY_CURRENT_USER, key));
    EXPECT_EQ("Value9", ReadString(HKEY_CURRENT_USER, key, "Last"));
    // A name that cannot be converted for the lookup reads as undefined.
    const std::set<std::string> failures = {HResultText(E_OUTOFMEMORY), HResultText(DISP_E_EXCEPTION)};
    const std::vector<Root> roots = {{HKEY_CURRENT_USER, key}};
    const std::function<std::string()> registering([&] { return interpret(TRUE); }),
        unregistering([&] { return interpret(FALSE); });
    const std::function<void()> fresh([&] { DeleteTree(HKEY_CURRENT_USER, key); }),
        registered([&] { EXPECT_EQ(ok, registering()); });
    Sweep("interpreter, registering", roots, ok, failures, fresh, registering);
    Sweep("interpreter, unregistering", roots, ok, failures, registered, unregistering);
}

TEST_F(AllocationFaultSweep, ServerRegistration_EachAllocationFailing_IsReportedAndWritesTheClassEntriesAllOrNothing)
{
    ComApartment apartment;
    ServerDll dll;
    // The platform's RegisterTypeLib does not take back what it wrote before it failed.
    const std::vector<Root> roots = {{HKEY_CLASSES_ROOT, "Vrksolauth.VRKsolutionAuthenticator"},
                                     {HKEY_CLASSES_ROOT, "Vrksolauth.VRKsolutionAuthenticator.1"},
                                     {HKEY_CLASSES_ROOT, "CLSID\\{5A486531-0201-43E0-BD81-D544BB08D0DC}"},
                                     {HKEY_CLASSES_ROOT, "TypeLib\\{2C21A4B6-C51A-4990-B440-B0841534F73A}", true},
                                     {HKEY_CLASSES_ROOT, "Interface\\{D57B64F7-8728-4717-BD9C-A09719A06BA0}", true}};
    const std::string ok = HResultText(S_OK);
    ASSERT_HR(S_OK, dll.RegisterServer());
    EXPECT_EQ(dll.Path(), ReadString(HKEY_CLASSES_ROOT, roots[2].path + "\\InprocServer32"));
    const std::function<std::string()> registerServer([&] { return HResultText(dll.RegisterServer()); }),
        unregisterServer([&] { return HResultText(dll.UnregisterServer()); });
    // Converting the module's path counts as loading it: the last error, E_FAIL where there is none.
    Sweep("DllRegisterServer", roots, ok,
          {HResultText(E_OUTOFMEMORY), HResultText(DISP_E_EXCEPTION), HResultText(E_FAIL)}, unregisterServer,
          registerServer);
    // Unregistering reports nothing; the class entries still go whole or not at all.
    const std::function<void()> reregister([&] { EXPECT_EQ(ok, registerServer()); });
    Sweep("DllUnregisterServer", roots, ok, {}, reregister, unregisterServer);
    dll.UnregisterServer();
}

// Writes, then reads into an out-parameter that a read that throws must leave as it was; the outcome is
// what was read, as Google Test prints it.
template <typename Value> std::string WriteAndRead(RegEntry&& entry, const Value& value)
{
    entry.SetValue(value);
    Value out{"unchanged"};
    try
    {
        entry.GetValue(out);
    }
    catch (...)
    {
        EXPECT_EQ(Value{"unchanged"}, out) << "a failed read changed its out-parameter";
        throw;
    }
    g_plan.armed = 0; // the path ends here: printing is no part of it
    return ::testing::PrintToString(out);
}

std::string Listed(const RegKey& key)
{
    std::vector<RegKey> subkeys;
    std::vector<RegEntry> entries;
    key.EnumerateKeys(subkeys);
    key.EnumerateEntries(entries);
    return std::to_string(subkeys.size()) + " " + std::to_string(entries.size());
}

// A failing write or read leaves no half-written value, and a failing recursive delete may stop halfway but keeps
// what it has not reached. The failures are a container's own, or a value buffer (14019) or key object (14024).
TEST_F(AllocationFaultSweep, ToolboxRegistryClasses_EachAllocationFailing_ThrowsAndWritesAllOrNothing)
{
    const std::string key = ScratchPath() + "\\Sweep";
    const auto prepare = [&]
    {
        DeleteTree(HKEY_CURRENT_USER, key);
        WriteString(HKEY_CURRENT_USER, key, "Text", "alpha");
        WriteValue(HKEY_CURRENT_USER, key, "List", REG_MULTI_SZ, "one\0two\0", 9);
        WriteString(HKEY_CURRENT_USER, key + "\\A\\B", "Leaf", "x");
    };
    const std::function<RegKey()> open([&] { return RegKey(RegHive::CurrentUser, key, RegSam::KeyAllAccess); });
    const std::vector<Root> root = {{HKEY_CURRENT_USER, key}};
    const std::set<std::string> failures = {"std::bad_alloc", "VRKLegacyException 14019", "VRKLegacyException 14024"};
    const std::string created = "HKEY_CURRENT_USER\\" + key + "\\New";
    const vrkstring text = "beta";
    const std::vector<vrkstring> texts = {"three", "four"};
    Sweep("RegKey opens a new key", root, "New", failures, prepare,
          [&] { return RegKey(created, RegSam::KeyAllAccess).GetName(); });
    Sweep("RegEntry writes and reads text", root, "\"beta\"", failures, prepare,
          [&] { return WriteAndRead(RegEntry(RegHive::CurrentUser, key, "Text", RegSam::KeyAllAccess), text); });
    Sweep("RegEntry writes and reads a text list", root, "{ \"three\", \"four\" }", failures, prepare,
          [&] { return WriteAndRead(RegEntry(open(), "List"), texts); });
    Sweep("RegKey lists subkeys and values", root, "1 2", failures, prepare, [&] { return Listed(open()); });
    Sweep("RegKey deletes its subtree", {{HKEY_CURRENT_USER, key, true}}, "deleted", failures, prepare,
          [&] { return (open().DeleteKey(), KeyExists(HKEY_CURRENT_USER, key)) ? "kept" : "deleted"; });
}

} // namespace

// The array and nothrow forms forward to these by default. Out of line: inlined into a delete
// expression, the free would read to the compiler as a mismatch.
void* operator new(std::size_t size)
{
    void* block = g_plan.ShouldFail() ? nullptr : std::malloc(size ? size : 1);
    if (!block)
        throw std::bad_alloc();
    return g_plan.Allocated(block);
}

[[gnu::noinline]] void operator delete(void* block) noexcept
{
    std::free(g_plan.Freed(block));
}

[[gnu::noinline]] void operator delete(void* block, std::size_t) noexcept
{
    std::free(g_plan.Freed(block));
}
