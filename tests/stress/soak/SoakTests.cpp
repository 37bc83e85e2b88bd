// SoakTests.cpp: many threads of the multithreaded apartment interleave every operation a client
// has at random while the fake components fail, one way per phase, under Wine's heap checking. Each
// operation must come out as its phase says; afterwards nothing may be left alive and the heaps may
// not have grown. The measured run lasts 4 s, or VRK_SOAK_SECONDS (scripts/stress.sh runs it long).
#include "authenticator/FakeComponents.h"
#include "support/ServerTest.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>

namespace VrkTest
{
namespace
{

using Clock = std::chrono::steady_clock;

constexpr int kThreads = 8;
constexpr unsigned kBaseSeed = 20240611; // thread i draws its operations from kBaseSeed + i
constexpr auto kPhaseLength = std::chrono::milliseconds(250);
// From the end of the warm-up to the end of the run the bytes in use on the heaps grew by less than
// 16 KB, whatever the length (CI runs and 60 s soaks, both architectures, under heap checking); the
// bound is four times that, and the run goes on until a leak of one byte per operation would pass it.
constexpr long long kHeapGrowthBound = 64 * 1024;
std::atomic<long long> g_operations{0};

// How the components behave while a phase runs: healthy, not installed, or one shared failure.
struct Phase
{
    const char* name;
    bool installed;
    const ComponentFailure* failure;
};

// Every interface the object has, then one it has not.
const IID* const kInterfaces[] = {&IID_IUnknown, &IID_IDispatch, &IID_IVRKsolutionAuthenticator1,
                                  &IID_ISupportErrorInfo, &IID_IPersist};

// One thread across the phases: its draws, its object (standalone, or an aggregate's outer object)
// and whether that was made while the product was installed, and its first failed check.
struct Worker
{
    std::mt19937 random;
    ComPtr<IUnknown> object;
    bool connected = false;
    long long failures = 0;
    std::string firstFailure;
};

// One operation drawn at random (a creation while the thread has no object), whose result must be
// the one the phase gives.
void Operate(Worker& worker, const ServerDll& dll, const Phase& phase)
{
    auto expect = [&](HRESULT expected, HRESULT actual, const char* what)
    {
        if (expected != actual && worker.failures++ == 0)
            worker.firstFailure = std::string(what) + ": expected " + HResultText(expected) + ", actual " +
                                  HResultText(actual) + " (phase \"" + phase.name + "\")";
    };
    const unsigned kind = worker.object ? worker.random() % 4 : 0, row = worker.random() % 5;
    // The phase's failure where it strikes this kind of operation: at creation, or in Authenticate.
    const ComponentFailure* failure =
        phase.failure && phase.failure->atCreation == (kind < 2) ? phase.failure : nullptr;
    ComPtr<IClassFactory> factory;
    expect(S_OK, dll.GetFactory(factory), "DllGetClassObject");
    ++g_operations;
    if (kind < 2) // standalone for any interface, or aggregated, now and then asking for more than IUnknown
    {
        const bool aggregated = kind == 1, refused = aggregated && row == 0;
        const IID& iid = refused ? IID_IDispatch : aggregated ? IID_IUnknown : *kInterfaces[row];
        const HRESULT made = aggregated || row < 4 ? S_OK : E_NOINTERFACE;
        ComPtr<Outer> outer = ComPtr<Outer>::Attach(aggregated ? new Outer : nullptr);
        ComPtr<IUnknown> created;
        const HRESULT expected = refused ? CLASS_E_NOAGGREGATION : failure ? failure->expected : made;
        expect(expected, factory->CreateInstance(outer.Get(), iid, created.PutVoid()), "CreateInstance");
        if (outer && created)
            outer->inner = std::move(created), created = ComPtr<IUnknown>::Attach(outer.Detach());
        if (created)
            worker.object = std::move(created), worker.connected = phase.installed;
    }
    else // IsInstalled or Authenticate, early- or late-bound (a failure in the exception information)
    {
        ComPtr<IVRKsolutionAuthenticator1> dual;
        expect(S_OK, worker.object.QueryInterface(IID_IVRKsolutionAuthenticator1, dual), "QueryInterface");
        const bool authenticate = row % 2;
        const HRESULT expected = !authenticate ? S_OK : !worker.connected ? E_FAIL : failure ? failure->expected : S_OK;
        Variant domain(L"CORP"), user(L"alice"), result;
        std::vector<VARIANT*> arguments = {&domain, &user};
        arguments.resize(authenticate ? 2 : 0);
        EXCEPINFO exception = {};
        VARIANT_BOOL answer = 0x1234;
        const HRESULT actual = kind == 3 ? InvokeWith(dual.Get(), authenticate ? 2 : 1, arguments, &result, &exception)
                               : authenticate ? dual->Authenticate(V_BSTR(&domain), V_BSTR(&user), &answer)
                                              : dual->IsInstalled(&answer);
        const UniqueBstr source(exception.bstrSource), description(exception.bstrDescription),
            helpFile(exception.bstrHelpFile);
        expect(expected, actual == DISP_E_EXCEPTION ? exception.scode : actual, kind == 3 ? "Invoke" : "call");
        // A failure never carries a true verdict (Invoke's result stays empty, so false).
        expect(SUCCEEDED(expected) && worker.connected ? VARIANT_TRUE : VARIANT_FALSE,
               kind == 3 ? V_BOOL(&result) : answer, "the answer");
        ::SetErrorInfo(0, nullptr);
    }
}

TEST(Soak, RandomOperationsFromManyThreadsWhileComponentsFail_GiveDocumentedResultsAndLeaveNothingBehind)
{
    ResetFakes();
    ComApartment apartment(COINIT_MULTITHREADED); // keeps the apartment, and the fakes registered in it, for the run
    FakeComponentRegistration fakes;
    ServerDll dll;
    ASSERT_TRUE(dll.Loaded());
    ASSERT_HR(S_OK, RegisterServerTypeLibrary());
    std::vector<Phase> phases = {{"healthy", true, nullptr}, {"not installed", false, nullptr}};
    for (const ComponentFailure& failure : kComponentFailures)
        phases.push_back({failure.name, true, &failure});
    std::vector<Worker> workers(kThreads);
    for (unsigned index = 0; index < kThreads; ++index)
        workers[index].random.seed(kBaseSeed + index);
    // The fakes' script changes only between phases, while no thread runs.
    auto run = [&](const Phase& phase, Clock::duration length)
    {
        g_fakeScript = FakeScript();
        if (phase.failure)
            phase.failure->arrange(g_fakeScript);
        SetProductInstalled(phase.installed);
        const Clock::time_point end = Clock::now() + length;
        std::vector<std::thread> threads;
        for (Worker& worker : workers)
            threads.emplace_back(
                [&, end]
                {
                    ComApartment apartment(COINIT_MULTITHREADED);
                    while (Clock::now() < end)
                        Operate(worker, dll, phase);
                });
        for (std::thread& thread : threads)
            thread.join();
    };
    // The warm-up, every phase briefly, loads the type information and makes the factory and the
    // caches of the heaps, the apartment and the error paths; from its healthy phase on, every thread
    // holds an object (a failed creation keeps the one it had), at both measurements too.
    for (const Phase& phase : phases)
        run(phase, kPhaseLength / 5);
    const long long warmUp = g_operations, heapBefore = HeapBytesInUse();

    // Every phase once in each cycle, in an order drawn afresh per cycle.
    const char* length = std::getenv("VRK_SOAK_SECONDS");
    const std::chrono::duration<double> seconds(length ? std::atof(length) : 4.0);
    std::mt19937 shuffler(kBaseSeed);
    const Clock::time_point start = Clock::now();
    for (size_t phase = 0;
         phase < phases.size() || Clock::now() - start < seconds || g_operations - warmUp < kHeapGrowthBound; ++phase)
    {
        if (phase % phases.size() == 0)
            std::shuffle(phases.begin(), phases.end(), shuffler);
        run(phases[phase % phases.size()], kPhaseLength);
    }
    const long long heapAfter = HeapBytesInUse(), measured = g_operations - warmUp;
    for (Worker& worker : workers)
    {
        worker.object.Reset();
        EXPECT_EQ(0, worker.failures) << "thread " << &worker - &workers[0] << ": " << worker.firstFailure << ", and "
                                      << worker.failures - 1 << " failures more";
    }
    g_fakeScript = FakeScript();
    SetProductInstalled(false);
    EXPECT_HR(S_OK, dll.CanUnloadNow()) << "an object or lock outlived the run";
    EXPECT_EQ(0, g_fakeRecord.liveReferences) << "a component reference was not released";
    EXPECT_EQ(0, Outer::live.load()) << "an aggregate kept its outer object alive";
    std::printf("soak: %d threads, %.1f s, %lld operations, heap bytes in use %lld before, %lld after\n", kThreads,
                std::chrono::duration<double>(Clock::now() - start).count(), measured, heapBefore, heapAfter);
    EXPECT_LT(heapAfter - heapBefore, kHeapGrowthBound) << "the heaps grew over " << measured << " operations";
    EXPECT_HR(S_OK, UnregisterServerTypeLibrary());
}

} // namespace
} // namespace VrkTest
