// DispatchBench.cpp: the late-bound half of the server against the platform's standard
// dispatcher (CreateStdDispatch) over the same type information and the same object (figure 2):
// GetIDsOfNames of "Authenticate", which the server answers from its own name cache, and
// Invoke of Authenticate, which both hand to the type information.
#include "support/QuietAuthenticator.h"

#include "Common/Utility/UniqueResource.h"

#include <oleauto.h>

using namespace Veyrak;

namespace VrkBench
{

namespace
{

// The server's type library is found through the registry, so the server is registered here.
class DispatchSetup : public SetupSteps
{
public:
    static DispatchSetup& Get() { return SharedSetup<DispatchSetup>(); }
    friend DispatchSetup& SharedSetup<DispatchSetup>();

    IDispatch* Server() const { return m_server; }
    IDispatch* Standard() const { return m_standard.Get(); }

private:
    DispatchSetup()
    {
        QuietAuthenticator& quiet = QuietAuthenticator::Get();
        if (!Check(quiet.Result(), quiet.FailedStep()) || !Check(quiet.Server().RegisterServer(), "DllRegisterServer"))
            return;
        m_registered = true;
        m_server = quiet.Authenticator();
        // Warm: the server loads its type information on the first dispatch call.
        ComPtr<ITypeInfo> typeInfo;
        if (!Check(m_server->GetTypeInfo(0, LOCALE_USER_DEFAULT, typeInfo.Put()), "GetTypeInfo"))
            return;
        ComPtr<IUnknown> standard;
        if (!Check(::CreateStdDispatch(nullptr, quiet.Authenticator(), typeInfo.Get(), standard.Put()),
                   "CreateStdDispatch"))
            return;
        Check(standard.QueryInterface(IID_IDispatch, m_standard), "QueryInterface(IDispatch) of the standard one");
    }

    DispatchSetup* Release()
    {
        m_standard.Reset();
        if (m_registered)
            QuietAuthenticator::Get().Server().UnregisterServer();
        return this;
    }

    bool m_registered = false;
    IDispatch* m_server = nullptr;
    ComPtr<IDispatch> m_standard;
};

using DispatchOf = IDispatch* (DispatchSetup::*)() const;

// The one name both benchmarks look up.
HRESULT LookUpAuthenticate(IDispatch* dispatch, DISPID& dispid)
{
    wchar_t name[] = L"Authenticate";
    LPOLESTR names[] = {name};
    return dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid);
}

void GetIDsOfNamesOf(benchmark::State& state, DispatchOf which)
{
    DispatchSetup& setup = DispatchSetup::Get();
    if (FAILED(setup.Result()))
        return FailBenchmark(state, setup.FailedStep(), setup.Result());
    IDispatch* dispatch = (setup.*which)();
    DISPID dispid = DISPID_UNKNOWN;
    HRESULT result = S_OK;
    for (auto _ : state)
    {
        result = LookUpAuthenticate(dispatch, dispid);
        benchmark::DoNotOptimize(result);
        benchmark::DoNotOptimize(dispid);
    }
    if (result != S_OK || dispid == DISPID_UNKNOWN)
        FailBenchmark(state, "GetIDsOfNames(Authenticate)", result == S_OK ? E_UNEXPECTED : result);
}

void InvokeOf(benchmark::State& state, DispatchOf which)
{
    DispatchSetup& setup = DispatchSetup::Get();
    if (FAILED(setup.Result()))
        return FailBenchmark(state, setup.FailedStep(), setup.Result());
    IDispatch* dispatch = (setup.*which)();
    DISPID dispid = DISPID_UNKNOWN;
    HRESULT result = LookUpAuthenticate(dispatch, dispid);
    if (FAILED(result))
        return FailBenchmark(state, "GetIDsOfNames(Authenticate)", result);

    BenchString domain(L"VEYRAK");
    BenchString user(L"alice");
    // Arguments go right to left.
    VARIANT arguments[2];
    ::VariantInit(&arguments[0]);
    ::VariantInit(&arguments[1]);
    V_VT(&arguments[0]) = VT_BSTR;
    V_BSTR(&arguments[0]) = user.get();
    V_VT(&arguments[1]) = VT_BSTR;
    V_BSTR(&arguments[1]) = domain.get();
    DISPPARAMS parameters = {arguments, nullptr, 2, 0};
    Veyrak::UniqueVariant valid;
    for (auto _ : state)
    {
        result = dispatch->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters, &valid, nullptr,
                                  nullptr);
        benchmark::DoNotOptimize(result);
        valid.reset();
    }
    result =
        dispatch->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters, &valid, nullptr, nullptr);
    if (result != S_OK || V_VT(&valid) != VT_BOOL || V_BOOL(&valid) != VARIANT_TRUE)
        FailBenchmark(state, "Invoke(Authenticate) gave no true verdict", result == S_OK ? E_UNEXPECTED : result);
}

} // namespace

BENCHMARK_CAPTURE(GetIDsOfNamesOf, server, &DispatchSetup::Server)->Name("F2.GetIDsOfNames.server")->UseRealTime();
BENCHMARK_CAPTURE(GetIDsOfNamesOf, peer, &DispatchSetup::Standard)->Name("F2.GetIDsOfNames.peer")->UseRealTime();
BENCHMARK_CAPTURE(InvokeOf, server, &DispatchSetup::Server)->Name("F2.Invoke.server")->UseRealTime();
BENCHMARK_CAPTURE(InvokeOf, peer, &DispatchSetup::Standard)->Name("F2.Invoke.peer")->UseRealTime();

} // namespace VrkBench

VRK_BENCHMARK_MAIN()
