// AuthenticateBench.cpp: the early-bound Authenticate through the server against direct calls
// of the same components (figure 1), and Authenticate from one, two and four threads at once
// (figure 4). The components are the allocation-free stand-ins, so that what differs is the
// server's own work: its failure boundary, the argument checks and the handle's lifetime.
#include "support/QuietAuthenticator.h"

#include <thread>

using namespace Veyrak;

namespace VrkBench
{

namespace
{

const wchar_t kDomain[] = L"VEYRAK";
const wchar_t kUser[] = L"alice";

bool CheckVerdict(benchmark::State& state, HRESULT result, VARIANT_BOOL valid)
{
    if (result != S_OK)
        FailBenchmark(state, "Authenticate", result);
    else if (valid != VARIANT_TRUE)
        FailBenchmark(state, "Authenticate gave no true verdict", S_FALSE);
    return result == S_OK && valid == VARIANT_TRUE;
}

void AuthenticateThroughServer(benchmark::State& state)
{
    MultithreadedApartment apartment;
    QuietAuthenticator& setup = QuietAuthenticator::Get();
    if (FAILED(setup.Result()))
        return FailBenchmark(state, setup.FailedStep(), setup.Result());
    IVRKsolutionAuthenticator1* authenticator = setup.Authenticator();
    BenchString domain(kDomain);
    BenchString user(kUser);
    HRESULT result = S_OK;
    VARIANT_BOOL valid = VARIANT_FALSE;
    for (auto _ : state)
    {
        result = authenticator->Authenticate(domain.get(), user.get(), &valid);
        benchmark::DoNotOptimize(result);
        benchmark::DoNotOptimize(valid);
    }
    if (CheckVerdict(state, result, valid))
        state.SetItemsProcessed(state.iterations());
}

// What Authenticate does without the server: the handle, the verdict, the handle freed.
void AuthenticateDirectly(benchmark::State& state)
{
    QuietAuthenticator& setup = QuietAuthenticator::Get();
    if (FAILED(setup.Result()))
        return FailBenchmark(state, setup.FailedStep(), setup.Result());
    IHandleManager* handleManager = setup.HandleManager();
    IPrimaryUserApp3* application = setup.Application();
    BenchString domain(kDomain);
    BenchString user(kUser);
    HRESULT result = S_OK;
    VARIANT_BOOL valid = VARIANT_FALSE;
    for (auto _ : state)
    {
        BSTR handle = nullptr;
        result = handleManager->CreateUserHandle(domain.get(), user.get(), 0, &handle);
        if (SUCCEEDED(result))
            result = application->AuthenticateUser(handle, &valid);
        ::SysFreeString(handle);
        benchmark::DoNotOptimize(result);
        benchmark::DoNotOptimize(valid);
    }
    if (CheckVerdict(state, result, valid))
        state.SetItemsProcessed(state.iterations());
}

// One and two threads everywhere; four where there are that many processors.
void ThreadCounts(benchmark::internal::Benchmark* benchmark)
{
    benchmark->Threads(1)->Threads(2);
    if (std::thread::hardware_concurrency() >= 4)
        benchmark->Threads(4);
}

} // namespace

BENCHMARK(AuthenticateThroughServer)->Name("F1.Authenticate.server")->UseRealTime();
BENCHMARK(AuthenticateDirectly)->Name("F1.Authenticate.peer")->UseRealTime();
BENCHMARK(AuthenticateThroughServer)->Name("F4.AuthenticateScaling")->Apply(ThreadCounts)->UseRealTime();

} // namespace VrkBench

VRK_BENCHMARK_MAIN()
