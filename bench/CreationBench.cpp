// CreationBench.cpp: what the creation of a connected object costs (figure 8), the product
// installed and the components registered and signed like the maker's, against the same creation
// by the previous release's DLL in the same process: bin/previous-release/vrksolauth.dll, which
// scripts/bench.sh builds from that release's sources (where it is missing, as in the test run,
// this tree's own DLL stands in). Once steady: after the first creation, whose verification of the
// components' files is then reused. And the first: each iteration loads a copy of the DLL of its
// own (bin/first-creation/), creates and releases one object and unloads the copy again, which
// forgets what it had verified.
#include "support/BenchSupport.h"
#include "support/QuietComponents.h"

using namespace Veyrak;

namespace VrkBench
{

namespace
{

// The copy of this tree's or the previous release's DLL for the first creations.
const char* FirstCreationCopy(bool server)
{
    return server ? "first-creation\\this\\vrksolauth.dll" : "first-creation\\previous\\vrksolauth.dll";
}

HRESULT CopyBeside(const char* from, const char* to)
{
    const std::string folder = VrkTest::ProgramDirectory(), target = folder + to;
    ::CreateDirectoryA((folder + "first-creation").c_str(), nullptr);
    ::CreateDirectoryA(target.substr(0, target.find_last_of('\\')).c_str(), nullptr);
    return ::CopyFileA((folder + from).c_str(), target.c_str(), FALSE) ? S_OK : Veyrak::LastErrorResult();
}

const char* PreviousRelease()
{
    const std::string previous = VrkTest::ProgramDirectory() + "previous-release\\vrksolauth.dll";
    return ::GetFileAttributesA(previous.c_str()) != INVALID_FILE_ATTRIBUTES ? "previous-release\\vrksolauth.dll"
                                                                             : "vrksolauth.dll";
}

class CreationSetup : public SetupSteps
{
public:
    static CreationSetup& Get() { return SharedSetup<CreationSetup>(); }
    friend CreationSetup& SharedSetup<CreationSetup>();

    IClassFactory* Factory(bool server) const { return (server ? m_serverFactory : m_peerFactory).Get(); }

private:
    CreationSetup() : m_peer(PreviousRelease())
    {
        if (Check(m_server.Result(), "load vrksolauth.dll") && Check(m_peer.Result(), "load the previous release") &&
            Check(m_installation.Result(), "create the installation key") &&
            Check(m_components.Result(), "register the components") &&
            Check(m_server.GetFactory(m_serverFactory), "get the factory") &&
            Check(m_peer.GetFactory(m_peerFactory), "get the previous release's factory") &&
            Check(CopyBeside("vrksolauth.dll", FirstCreationCopy(true)), "copy the DLL") &&
            Check(CopyBeside(PreviousRelease(), FirstCreationCopy(false)), "copy the previous release"))
        {
            // The first creation of each verifies what the rest reuse.
            ComPtr<IUnknown> object;
            Check(m_serverFactory->CreateInstance(nullptr, IID_IUnknown, object.PutVoid()), "create an object");
            Check(m_peerFactory->CreateInstance(nullptr, IID_IUnknown, object.PutVoid()), "create an object");
        }
    }
    CreationSetup* Release()
    {
        m_serverFactory.Reset();
        m_peerFactory.Reset();
        return this;
    }

    ServerLibrary m_server;
    ServerLibrary m_peer;
    ProductInstallation m_installation;
    QuietComponentRegistration m_components;
    ComPtr<IClassFactory> m_serverFactory, m_peerFactory;
};

void CreateConnected(benchmark::State& state, bool server)
{
    CreationSetup& setup = CreationSetup::Get();
    if (FAILED(setup.Result()))
        return FailBenchmark(state, setup.FailedStep(), setup.Result());
    IClassFactory* factory = setup.Factory(server);
    HRESULT result = S_OK;
    for (auto _ : state)
    {
        IUnknown* object = nullptr;
        result = factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object));
        if (object)
            object->Release();
        if (result != S_OK)
            break;
    }
    if (result != S_OK)
        FailBenchmark(state, "CreateInstance", result);
}

void CreateFirst(benchmark::State& state, bool server)
{
    CreationSetup& setup = CreationSetup::Get(); // the key and the components stay registered
    if (FAILED(setup.Result()))
        return FailBenchmark(state, setup.FailedStep(), setup.Result());
    HRESULT result = S_OK;
    for (auto _ : state)
    {
        ServerLibrary library(FirstCreationCopy(server));
        ComPtr<IUnknown> object;
        result = library.Create(CLSID_VRKsolutionAuthenticator, nullptr, IID_IUnknown, object.PutVoid());
        object.Reset();
        if (result != S_OK)
            break;
    }
    if (result != S_OK)
        FailBenchmark(state, "CreateInstance, first in the DLL's life", result);
}

} // namespace

BENCHMARK_CAPTURE(CreateConnected, server, true)->Name("F8.Create.server")->UseRealTime();
BENCHMARK_CAPTURE(CreateConnected, peer, false)->Name("F8.Create.peer")->UseRealTime();
BENCHMARK_CAPTURE(CreateFirst, server, true)->Name("F8.CreateFirst.server")->UseRealTime();
BENCHMARK_CAPTURE(CreateFirst, peer, false)->Name("F8.CreateFirst.peer")->UseRealTime();

} // namespace VrkBench

VRK_BENCHMARK_MAIN()
