// ApartmentBench.cpp: what a call costs through a proxy between two apartments of one process
// (figure 6). An authenticator is made on a thread of its own in a single-threaded apartment,
// its interface marshaled to the benchmark's multithreaded apartment, and IsInstalled called
// through the proxy: each call is handed to the owning thread's message queue and waited for.
// The peer is the same call on an authenticator made in the caller's own apartment, a direct call.
#include "support/BenchSupport.h"

#include <future>
#include <thread>

using namespace Veyrak;

namespace VrkBench
{

namespace
{

// The proxy and stub of the dual interface come from the type library, which the registry
// names: the server is registered here for the run.
class ApartmentSetup : public SetupSteps
{
public:
    static ApartmentSetup& Get() { return SharedSetup<ApartmentSetup>(); }
    friend ApartmentSetup& SharedSetup<ApartmentSetup>();

    IVRKsolutionAuthenticator1* Proxy() const { return m_proxy.Get(); }
    IVRKsolutionAuthenticator1* Direct() const { return m_direct.Get(); }

private:
    ApartmentSetup()
    {
        if (!Check(m_server.Result(), "load vrksolauth.dll") || !Check(m_server.RegisterServer(), "DllRegisterServer"))
            return;
        m_registered = true;
        if (!Check(m_server.CreateAuthenticator(m_direct), "create the authenticator in this apartment"))
            return;
        std::promise<HRESULT> marshaled;
        std::future<HRESULT> ownerResult = marshaled.get_future();
        m_owner = std::thread([this, &marshaled] { ServeFromOwnApartment(marshaled); });
        if (Check(ownerResult.get(), "marshal the authenticator from its single-threaded apartment"))
            Check(::CoGetInterfaceAndReleaseStream(m_stream, IID_IVRKsolutionAuthenticator1, m_proxy.PutVoid()),
                  "unmarshal the proxy");
    }

    // The owner thread: makes the object, marshals it into m_stream, and serves the proxy's calls
    // until WM_QUIT. Its message queue exists before the main thread learns the thread's id.
    void ServeFromOwnApartment(std::promise<HRESULT>& marshaled)
    {
        const HRESULT initialized = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        ComPtr<IVRKsolutionAuthenticator1> object;
        HRESULT result = initialized;
        if (SUCCEEDED(result))
            result = m_server.CreateAuthenticator(object);
        if (SUCCEEDED(result))
            result = ::CoMarshalInterThreadInterfaceInStream(IID_IVRKsolutionAuthenticator1, object.Get(), &m_stream);
        MSG message;
        ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
        m_ownerThreadId = ::GetCurrentThreadId();
        marshaled.set_value(result);
        if (SUCCEEDED(result))
        {
            while (::GetMessageW(&message, nullptr, 0, 0) > 0)
                ::DispatchMessageW(&message);
        }
        object.Reset();
        if (SUCCEEDED(initialized))
            ::CoUninitialize();
    }

    // The proxy goes first, while its owner still serves the release call.
    ApartmentSetup* Release()
    {
        m_proxy.Reset();
        if (m_owner.joinable())
        {
            ::PostThreadMessageW(m_ownerThreadId, WM_QUIT, 0, 0);
            m_owner.join();
        }
        m_direct.Reset();
        if (m_registered)
            m_server.UnregisterServer();
        return this;
    }

    ServerLibrary m_server;
    bool m_registered = false;
    ComPtr<IVRKsolutionAuthenticator1> m_direct;
    ComPtr<IVRKsolutionAuthenticator1> m_proxy;
    IStream* m_stream = nullptr;
    std::thread m_owner;
    DWORD m_ownerThreadId = 0;
};

using AuthenticatorOf = IVRKsolutionAuthenticator1* (ApartmentSetup::*)() const;

void IsInstalledOf(benchmark::State& state, AuthenticatorOf which)
{
    ApartmentSetup& setup = ApartmentSetup::Get();
    if (FAILED(setup.Result()))
        return FailBenchmark(state, setup.FailedStep(), setup.Result());
    CallIsInstalled(state, (setup.*which)());
}

} // namespace

BENCHMARK_CAPTURE(IsInstalledOf, proxy, &ApartmentSetup::Proxy)->Name("F6.CrossApartment.server")->UseRealTime();
BENCHMARK_CAPTURE(IsInstalledOf, direct, &ApartmentSetup::Direct)->Name("F6.CrossApartment.peer")->UseRealTime();

} // namespace VrkBench

VRK_BENCHMARK_MAIN()
