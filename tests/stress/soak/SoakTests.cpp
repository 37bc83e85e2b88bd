// SoakTests.cpp: many threads of the multithreaded apartment use the server at random while the
// fake components fail step by step, one way per phase; afterwards nothing may be left alive and
// the process may not have grown.
// Long soak: build/x64/wine-run.sh build/x64/wineprefix build/x64/bin/soak_tests.exe --seconds 600
#include "authenticator/FakeComponents.h"
#include "support/ServerTest.h"

#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <thread>

namespace VrkTest
{
namespace
{

using Clock = std::chrono::steady_clock;

double g_seconds = 4.0; // the measured run after the warm-up: --seconds S or VRK_SOAK_SECONDS
constexpr int kThreads = 8;
constexpr unsigned kBaseSeed = 20240611; // thread i draws its operations from kBaseSeed + i
constexpr auto kPhaseLength = std::chrono::milliseconds(250);
// From the end of the warm-up to the end of the run the private bytes grew by less than 80 KB and
// the bytes in use on the heaps by less than 16 KB, whatever the length (measured: CI runs and
// 60 s soaks, both architectures, under heap checking); the bounds are three and four times that.
// Private bytes also count what a heap keeps committed after frees, and a small leak fills that
// first (a 32-bit CI run hid 5 bytes per operation so); the heaps' own count is exact. The run
// goes on until a leak of 1 byte per operation on average would exceed the heap bound.
constexpr long long kPrivateGrowthBound = 256 * 1024, kHeapGrowthBound = 64 * 1024;
constexpr long long kLeakDetectingOperations = kHeapGrowthBound;

// One way the components behave during a phase: the soak's own three, then every shared failure.
struct Phase
{
    const char* name;
    bool installed;
    VARIANT_BOOL verdict;
    const ComponentFailure* failure;
};
std::vector<Phase> Phases()
{
    std::vector<Phase> phases = {{"healthy", true, VARIANT_TRUE, nullptr},
                                 {"false verdicts", true, VARIANT_FALSE, nullptr},
                                 {"not installed", false, VARIANT_TRUE, nullptr}};
    for (const ComponentFailure& failure : kComponentFailures)
        phases.push_back({failure.name, true, VARIANT_TRUE, &failure});
    return phases;
}

// Every interface the object has, then one it has not.
const IID* const kInterfaces[] = {&IID_IUnknown, &IID_IDispatch, &IID_IVRKsolutionAuthenticator1,
                                  &IID_ISupportErrorInfo, &IID_IPersist};
constexpr unsigned kSupportedInterfaces = 4;

// Operation counts by kind (as Run picks them), and what the fakes must have counted.
const char* const kKindNames[] = {"CreateInstance", "aggregated", "early-bound", "Invoke", "LockServer"};
constexpr int kKinds = 5;
std::atomic<long long> g_operations[kKinds];
volatile LONG FakeRecord::*const kFakeCounters[] = {&FakeRecord::singleSignOnCreated, &FakeRecord::handleManagerCreated,
                                                    &FakeRecord::createUserHandleCalls,
                                                    &FakeRecord::authenticateUserCalls};
std::atomic<LONG> g_expectedFakeCounts[4];

// One thread's random operations. It keeps an object (standalone or an aggregate) from phase to
// phase and records its first failed check.
class Worker
{
public:
    Worker(const ServerDll& dll, unsigned seed) : seed(seed), m_dll(dll), m_random(seed) {}

    void Run(const Phase& phase, Clock::time_point end)
    {
        ComApartment apartment(COINIT_MULTITHREADED);
        m_phase = &phase;
        while (Clock::now() < end)
        {
            const int kind = m_object ? static_cast<int>(Pick(kKinds)) : 0; // without an object: create one
            kind < 2 ? Create(kind == 1) : kind < 4 ? Call(kind == 3) : LockServer();
            ++g_operations[kind];
        }
    }
    void ReleaseObject() { m_object.Reset(); }

    const unsigned seed;
    long long failures = 0;
    std::string firstFailure;

private:
    unsigned Pick(unsigned count) { return m_random() % count; }
    const ComponentFailure* Failure(bool atCreation) const
    {
        return m_phase->failure && m_phase->failure->atCreation == atCreation ? m_phase->failure : nullptr;
    }

    void Expect(bool ok, const std::string& what)
    {
        if (!ok && failures++ == 0)
            firstFailure = what + " (phase \"" + m_phase->name + "\")";
    }
    void ExpectHr(HRESULT expected, HRESULT actual, const char* what)
    {
        Expect(expected == actual,
               std::string(what) + ": expected " + HResultText(expected) + ", actual " + HResultText(actual));
    }
    void ExpectError(const wchar_t* description, const char* what)
    {
        const ErrorInfoSnapshot info = TakeErrorInfo();
        Expect(description ? info.present && info.description == description &&
                                 ::IsEqualGUID(info.guid, IID_IVRKsolutionAuthenticator1)
                           : !info.present,
               what);
    }
    template <typename Interface> ComPtr<Interface> As(const ComPtr<IUnknown>& object, REFIID iid, const char* what)
    {
        ComPtr<Interface> result;
        ExpectHr(S_OK, object.QueryInterface(iid, result), what);
        return result;
    }
    ComPtr<IClassFactory> Factory()
    {
        ComPtr<IClassFactory> factory;
        ExpectHr(S_OK, m_dll.GetFactory(factory), "DllGetClassObject");
        return factory;
    }

    // Standalone for any interface, or inside an outer object that now and then asks for more than
    // IUnknown and is refused before anything is made. A success becomes the thread's object.
    void Create(bool aggregated)
    {
        const unsigned row = Pick(std::size(kInterfaces));
        const bool refused = aggregated && Pick(8) == 0;
        const IID& iid = refused ? IID_IDispatch : aggregated ? IID_IUnknown : *kInterfaces[row];
        const bool connects = !refused && m_phase->installed;
        const ComponentFailure* failure = Failure(true);
        g_expectedFakeCounts[0] += connects && SUCCEEDED(g_fakeScript.createSingleSignOn);
        g_expectedFakeCounts[1] += connects && !failure;
        ComPtr<IClassFactory> factory = Factory();
        if (!factory)
            return;
        Outer* outer = aggregated ? new Outer() : nullptr;
        ComPtr<IUnknown> owner = ComPtr<IUnknown>::Attach(outer);
        IUnknown* created = reinterpret_cast<IUnknown*>(0xdeadbeef);
        ::SetErrorInfo(0, nullptr);
        const HRESULT result = factory->CreateInstance(outer, iid, reinterpret_cast<void**>(&created));
        ExpectHr(refused                                    ? CLASS_E_NOAGGREGATION
                 : connects && failure                      ? failure->expected
                 : aggregated || row < kSupportedInterfaces ? S_OK
                                                            : E_NOINTERFACE,
                 result, aggregated ? "aggregated CreateInstance" : "CreateInstance");
        ExpectError(connects && failure ? failure->message : nullptr, "error information of CreateInstance");
        Expect(!outer || outer->count == 1, "creating an aggregate must leave the outer object's count alone");
        if (FAILED(result))
            return Expect(!created, "a failed CreateInstance must set its target null");
        (outer ? outer->inner : owner) = ComPtr<IUnknown>::Attach(created);
        m_object = As<IUnknown>(owner, IID_IUnknown, "QueryInterface for the identity");
        m_connected = m_phase->installed;
        const auto support =
            As<ISupportErrorInfo>(m_object, IID_ISupportErrorInfo, "QueryInterface for ISupportErrorInfo");
        ExpectHr(S_OK, support ? support->InterfaceSupportsErrorInfo(IID_IVRKsolutionAuthenticator1) : E_NOINTERFACE,
                 "InterfaceSupportsErrorInfo");
    }

    // IsInstalled or Authenticate; late-bound, a failure comes back as DISP_E_EXCEPTION with the
    // error in the exception information.
    void Call(bool lateBound)
    {
        const bool authenticate = Pick(2);
        const auto dual =
            As<IVRKsolutionAuthenticator1>(m_object, IID_IVRKsolutionAuthenticator1, "QueryInterface for the dual");
        if (!dual)
            return;
        HRESULT expected = S_OK;
        const wchar_t* error = nullptr;
        VARIANT_BOOL expectedAnswer = m_connected ? VARIANT_TRUE : VARIANT_FALSE;
        if (authenticate)
        {
            const ComponentFailure* failure = Failure(false);
            expected = !m_connected ? E_FAIL : failure ? failure->expected : S_OK;
            error = !m_connected ? L"Authenticate: VRKsolution not installed" : failure ? failure->message : nullptr;
            expectedAnswer = SUCCEEDED(expected) ? m_phase->verdict : VARIANT_FALSE;
            g_expectedFakeCounts[2] += m_connected;
            g_expectedFakeCounts[3] += m_connected && SUCCEEDED(g_fakeScript.createUserHandle);
        }
        Variant domain(L"CORP"), user(L"alice"), result;
        ::SetErrorInfo(0, nullptr);
        if (!lateBound)
        {
            VARIANT_BOOL answer = 0x1234;
            ExpectHr(expected,
                     authenticate ? dual->Authenticate(V_BSTR(&domain), V_BSTR(&user), &answer)
                                  : dual->IsInstalled(&answer),
                     "early-bound call");
            Expect(answer == expectedAnswer, "early-bound call gave a wrong answer");
            return ExpectError(error, "error information of an early-bound call");
        }
        EXCEPINFO exception = {};
        const HRESULT invoked = authenticate ? InvokeWith(dual.Get(), 2, {&domain, &user}, &result, &exception)
                                             : InvokeWith(dual.Get(), 1, {}, &result, &exception);
        const UniqueBstr source(exception.bstrSource), description(exception.bstrDescription),
            helpFile(exception.bstrHelpFile);
        ExpectHr(FAILED(expected) ? DISP_E_EXCEPTION : S_OK, invoked, "Invoke");
        ExpectHr(expected, exception.scode, "Invoke's exception code");
        Expect(SUCCEEDED(invoked) ? V_VT(&result) == VT_BOOL && V_BOOL(&result) == expectedAnswer
                                  : error && description && std::wcscmp(description.get(), error) == 0,
               "Invoke gave a wrong result or exception description");
    }

    void LockServer()
    {
        ComPtr<IClassFactory> factory = Factory();
        if (!factory)
            return;
        ExpectHr(S_OK, factory->LockServer(TRUE), "LockServer(TRUE)");
        factory.Reset();
        ExpectHr(S_FALSE, m_dll.CanUnloadNow(), "DllCanUnloadNow under a server lock");
        if ((factory = Factory()))
            ExpectHr(S_OK, factory->LockServer(FALSE), "LockServer(FALSE)");
    }

    const ServerDll& m_dll;
    std::mt19937 m_random;
    const Phase* m_phase = nullptr;
    ComPtr<IUnknown> m_object; // the identity: a standalone object or an aggregate's outer object
    bool m_connected = false;  // made while the product was installed
};

// The process's private bytes (its commit charge). PagefileUsage is documented to hold the same
// value, and is the only one of the two that Wine fills in.
long long PrivateBytes()
{
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    EXPECT_TRUE(::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                       sizeof counters));
    const SIZE_T bytes = counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
    EXPECT_NE(0u, bytes) << "the platform reports no private bytes: the growth check would prove nothing";
    return static_cast<long long>(bytes);
}

long long Operations()
{
    long long total = 0;
    for (const auto& count : g_operations)
        total += count;
    return total;
}

TEST(Soak, RandomOperationsFromManyThreadsWhileComponentsFail_GiveDocumentedResultsAndLeaveNothingBehind)
{
    ResetFakes();
    ComApartment apartment(COINIT_MULTITHREADED); // keeps the apartment, and the fakes registered in it, for the run
    FakeComponentRegistration fakes;
    ServerDll dll;
    ASSERT_TRUE(dll.Loaded());
    ASSERT_HR(S_OK, RegisterServerTypeLibrary());
    std::vector<std::unique_ptr<Worker>> workers;
    for (unsigned index = 0; index < kThreads; ++index)
        workers.push_back(std::make_unique<Worker>(dll, kBaseSeed + index));

    // The fakes' script changes only between phases, while no thread runs.
    auto runPhase = [&](const Phase& phase, Clock::duration length)
    {
        g_fakeScript = FakeScript();
        if (phase.failure)
            phase.failure->arrange(g_fakeScript);
        g_fakeScript.verdict = phase.verdict;
        SetProductInstalled(phase.installed);
        const Clock::time_point end = Clock::now() + length;
        std::vector<std::thread> threads;
        for (auto& worker : workers)
            threads.emplace_back([&worker, &phase, end] { worker->Run(phase, end); });
        for (std::thread& thread : threads)
            thread.join();
    };
    // The warm-up, every phase briefly, loads the type information and makes the factory and the caches
    // of the heaps, the apartment and the error paths. Both measurements are taken while every thread
    // holds one object.
    std::vector<Phase> phases = Phases();
    for (const Phase& phase : phases)
        runPhase(phase, kPhaseLength / 5);
    runPhase(phases[0], kPhaseLength / 5);
    for (auto& count : g_operations)
        count = 0;
    const long long before = PrivateBytes(), heapBefore = HeapBytesInUse();

    // Every phase once in each cycle, in an order drawn afresh per cycle.
    std::mt19937 shuffler(kBaseSeed);
    const Clock::time_point start = Clock::now();
    for (size_t phase = 0; phase < phases.size() || Clock::now() - start < std::chrono::duration<double>(g_seconds) ||
                           Operations() < kLeakDetectingOperations;
         ++phase)
    {
        if (phase % phases.size() == 0)
            std::shuffle(phases.begin(), phases.end(), shuffler);
        runPhase(phases[phase % phases.size()], kPhaseLength);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const long long after = PrivateBytes(), heapAfter = HeapBytesInUse();
    for (auto& worker : workers)
    {
        worker->ReleaseObject();
        EXPECT_EQ(0, worker->failures) << "thread with seed " << worker->seed << ": " << worker->firstFailure
                                       << ", and " << worker->failures - 1 << " failures more";
    }
    g_fakeScript = FakeScript();
    SetProductInstalled(false);

    for (size_t counter = 0; counter < std::size(kFakeCounters); ++counter)
        EXPECT_EQ(g_expectedFakeCounts[counter].load(), g_fakeRecord.*kFakeCounters[counter])
            << "components made, CreateUserHandle and AuthenticateUser calls: counter " << counter;
    EXPECT_HR(S_OK, dll.CanUnloadNow()) << "an object or lock outlived the run";
    EXPECT_EQ(0, g_fakeRecord.liveReferences) << "a component reference was not released";
    EXPECT_EQ(0, Outer::live.load()) << "an aggregate kept its outer object alive";

    std::string perKind;
    for (int kind = 0; kind < kKinds; ++kind)
    {
        EXPECT_LT(0, g_operations[kind].load()) << kKindNames[kind] << " never ran";
        perKind += std::string(kind ? ", " : "") + kKindNames[kind] + " " + std::to_string(g_operations[kind].load());
    }
    std::printf("soak: %d threads, %.1f s, %lld operations (%s), private bytes %lld before, %lld after, heap bytes in "
                "use %lld before, %lld after\n",
                kThreads, seconds, Operations(), perKind.c_str(), before, after, heapBefore, heapAfter);
    EXPECT_LT(after - before, kPrivateGrowthBound) << "the process grew over " << Operations() << " operations";
    EXPECT_LT(heapAfter - heapBefore, kHeapGrowthBound) << "the heaps grew over " << Operations() << " operations";
    EXPECT_HR(S_OK, UnregisterServerTypeLibrary());
}

} // namespace
} // namespace VrkTest

// The run's length comes after GoogleTest has taken its own arguments.
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (const char* text = std::getenv("VRK_SOAK_SECONDS"))
        VrkTest::g_seconds = std::atof(text);
    for (int index = 1; index + 1 < argc; ++index)
        if (std::strcmp(argv[index], "--seconds") == 0)
            VrkTest::g_seconds = std::atof(argv[index + 1]);
    return RUN_ALL_TESTS();
}
