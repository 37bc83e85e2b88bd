// BenchSupport.h: what every benchmark program shares: the server DLL loaded as a client loads
// it, the COM apartment, the product's installation key, and a main that fails the run when a
// benchmark could not set itself up (so that a broken figure never passes as a fast one).
#pragma once

#include "Common/Utility/ComPtr.h"
#include "support/ServerLibrary.h"

#include <windows.h>
#include <objbase.h>

#include <benchmark/benchmark.h>

#include "vrksolauth.h"

#include <string>

namespace VrkBench
{

// Ends the benchmark with an error naming the step and its HRESULT, and makes the program's
// exit status non-zero.
void FailBenchmark(benchmark::State& state, const char* step, HRESULT result);
bool AnyBenchmarkFailed();

// The outcome of a benchmark's set-up, made of steps: S_OK, or the first failing step and its
// HRESULT, which the benchmarks report instead of measuring.
class SetupSteps
{
public:
    // Records the step's failure unless an earlier one failed; true while none has.
    bool Check(HRESULT result, const char* step);
    HRESULT Result() const { return m_result; }
    const char* FailedStep() const { return m_failedStep; }

private:
    HRESULT m_result = S_OK;
    const char* m_failedStep = "";
};

// vrksolauth.dll from beside the program, called through its exports.
using VrkTest::ServerLibrary;

// The installation key that makes the authenticator connect to its components; removed again
// at the end when this object created it.
class ProductInstallation
{
public:
    ProductInstallation();
    ProductInstallation(const ProductInstallation&) = delete;
    ProductInstallation& operator=(const ProductInstallation&) = delete;
    ~ProductInstallation();

    HRESULT Result() const { return m_result; }

private:
    HRESULT m_result = E_FAIL;
    bool m_created = false;
};

// Initialises COM for the calling thread, in the multithreaded apartment, for the object's life.
class MultithreadedApartment
{
public:
    MultithreadedApartment() : m_result(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    MultithreadedApartment(const MultithreadedApartment&) = delete;
    MultithreadedApartment& operator=(const MultithreadedApartment&) = delete;
    ~MultithreadedApartment()
    {
        if (SUCCEEDED(m_result))
            ::CoUninitialize();
    }
    HRESULT Result() const { return m_result; }

private:
    HRESULT m_result;
};

// A BSTR for the benchmark's arguments; made once, outside the timed loops.
class BenchString
{
public:
    explicit BenchString(const wchar_t* text) : m_text(::SysAllocString(text)) {}
    BenchString(const BenchString&) = delete;
    BenchString& operator=(const BenchString&) = delete;
    ~BenchString() { ::SysFreeString(m_text); }
    BSTR get() const { return m_text; }

private:
    BSTR m_text;
};

// The benchmark's loop of IsInstalled calls on one object, however it is reached (figures 6 and 7);
// a failing call fails the benchmark.
void CallIsInstalled(benchmark::State& state, IVRKsolutionAuthenticator1* authenticator);

// Adds a clean-up that RunBenchmarks runs after the last benchmark, newest first, while the
// main thread's apartment is still there.
void AtEndOfRun(void (*cleanUp)());

// A benchmark program's one set-up, made at its first use and taken apart at the end of the run,
// while COM and the server are still there, through its Release(), which returns what to delete.
template <typename Setup> Setup& SharedSetup()
{
    static Setup* setup = []
    {
        auto* made = new Setup();
        AtEndOfRun([] { delete SharedSetup<Setup>().Release(); });
        return made;
    }();
    return *setup;
}

// Runs the registered benchmarks in the main thread's multithreaded apartment; the exit status
// is 1 when an argument was not understood or a benchmark failed.
int RunBenchmarks(int argc, char** argv);

} // namespace VrkBench

#define VRK_BENCHMARK_MAIN()                                                                                           \
    int main(int argc, char** argv)                                                                                    \
    {                                                                                                                  \
        return ::VrkBench::RunBenchmarks(argc, argv);                                                                  \
    }
