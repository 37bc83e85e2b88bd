// FactoryBench.cpp: what DllGetClassObject costs once the factory is cached (figure 3):
// the export finds the class in its table and asks the cached factory for the interface;
// the peer is that QueryInterface alone, on the same factory object. Each reference obtained
// is released again inside the loop, on both sides. The export is called through its address,
// as COM calls it, so that no wrapper of the benchmark's own is counted as the server's.
#include "support/BenchSupport.h"

using namespace Veyrak;

namespace VrkBench
{

namespace
{

class FactorySetup
{
public:
    static FactorySetup& Get() { return SharedSetup<FactorySetup>(); }
    friend FactorySetup& SharedSetup<FactorySetup>();

    using GetClassObjectFunction = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

    HRESULT Result() const { return m_result; }
    GetClassObjectFunction Export() const { return m_export; }
    IClassFactory* Factory() const { return m_factory.Get(); }

private:
    FactorySetup()
    {
        m_result = m_server.Result();
        if (FAILED(m_result))
            return;
        m_export = reinterpret_cast<GetClassObjectFunction>(
            reinterpret_cast<void*>(::GetProcAddress(m_server.Module(), "DllGetClassObject")));
        // The first call makes and caches the factory; this reference keeps it for the run.
        m_result = m_export(CLSID_VRKsolutionAuthenticator, IID_IClassFactory, m_factory.PutVoid());
    }

    FactorySetup* Release()
    {
        m_factory.Reset();
        return this;
    }

    ServerLibrary m_server;
    GetClassObjectFunction m_export = nullptr;
    HRESULT m_result = E_FAIL;
    ComPtr<IClassFactory> m_factory;
};

void GetClassObjectFromExport(benchmark::State& state)
{
    FactorySetup& setup = FactorySetup::Get();
    if (FAILED(setup.Result()))
        return FailBenchmark(state, "DllGetClassObject", setup.Result());
    FactorySetup::GetClassObjectFunction getClassObject = setup.Export();
    HRESULT result = S_OK;
    for (auto _ : state)
    {
        IClassFactory* factory = nullptr;
        result = getClassObject(CLSID_VRKsolutionAuthenticator, IID_IClassFactory, reinterpret_cast<void**>(&factory));
        if (factory)
            factory->Release();
        benchmark::DoNotOptimize(result);
    }
    if (result != S_OK)
        FailBenchmark(state, "DllGetClassObject", result);
}

void QueryInterfaceOfFactory(benchmark::State& state)
{
    FactorySetup& setup = FactorySetup::Get();
    if (FAILED(setup.Result()))
        return FailBenchmark(state, "DllGetClassObject", setup.Result());
    IClassFactory* cached = setup.Factory();
    HRESULT result = S_OK;
    for (auto _ : state)
    {
        IClassFactory* factory = nullptr;
        result = cached->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(&factory));
        if (factory)
            factory->Release();
        benchmark::DoNotOptimize(result);
    }
    if (result != S_OK)
        FailBenchmark(state, "QueryInterface(IClassFactory)", result);
}

} // namespace

BENCHMARK(GetClassObjectFromExport)->Name("F3.GetClassObject.server")->UseRealTime();
BENCHMARK(QueryInterfaceOfFactory)->Name("F3.GetClassObject.peer")->UseRealTime();

} // namespace VrkBench

VRK_BENCHMARK_MAIN()
