// BenchSupport.cpp: loading the server, the installation key and the benchmark programs' main.
#include "support/BenchSupport.h"

#include "authenticator/ProductKey.h"

#include <cstdio>
#include <vector>

namespace VrkBench
{

namespace
{

volatile LONG g_failures = 0;
std::vector<void (*)()> g_cleanUps;

} // namespace

void FailBenchmark(benchmark::State& state, const char* step, HRESULT result)
{
    char text[256];
    std::snprintf(text, sizeof text, "%s: 0x%08lX", step, static_cast<unsigned long>(result));
    ::InterlockedIncrement(&g_failures);
    state.SkipWithError(text);
}

bool AnyBenchmarkFailed()
{
    return g_failures != 0;
}

bool SetupSteps::Check(HRESULT result, const char* step)
{
    if (SUCCEEDED(m_result) && FAILED(result))
    {
        m_result = result;
        m_failedStep = step;
    }
    return SUCCEEDED(m_result);
}

ProductInstallation::ProductInstallation()
{
    HKEY key = nullptr;
    DWORD disposition = 0;
    LONG error = ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, Veyrak::kProductKeyPath, 0, nullptr, 0, KEY_READ, nullptr, &key,
                                   &disposition);
    if (error != ERROR_SUCCESS)
    {
        m_result = HRESULT_FROM_WIN32(error);
        return;
    }
    ::RegCloseKey(key);
    m_created = disposition == REG_CREATED_NEW_KEY;
    m_result = S_OK;
}

ProductInstallation::~ProductInstallation()
{
    if (m_created)
        ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, Veyrak::kProductKeyPath);
}

void CallIsInstalled(benchmark::State& state, IVRKsolutionAuthenticator1* authenticator)
{
    HRESULT result = S_OK;
    VARIANT_BOOL installed = VARIANT_FALSE;
    for (auto _ : state)
    {
        result = authenticator->IsInstalled(&installed);
        benchmark::DoNotOptimize(result);
        benchmark::DoNotOptimize(installed);
    }
    if (result != S_OK)
        FailBenchmark(state, "IsInstalled", result);
}

void AtEndOfRun(void (*cleanUp)())
{
    g_cleanUps.push_back(cleanUp);
}

int RunBenchmarks(int argc, char** argv)
{
    MultithreadedApartment apartment;
    if (FAILED(apartment.Result()))
    {
        std::fprintf(stderr, "CoInitializeEx: 0x%08lX\n", static_cast<unsigned long>(apartment.Result()));
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (auto cleanUp = g_cleanUps.rbegin(); cleanUp != g_cleanUps.rend(); ++cleanUp)
        (*cleanUp)();
    if (AnyBenchmarkFailed())
    {
        std::fprintf(stderr, "benchmark: a benchmark could not run its calls (see ERROR OCCURRED above)\n");
        return 1;
    }
    return 0;
}

} // namespace VrkBench
