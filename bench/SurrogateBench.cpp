// SurrogateBench.cpp: what a call costs through the surrogate (figure 7). This 64-bit program
// creates the authenticator with CLSCTX_LOCAL_SERVER; the 32-bit server, registered by the
// 32-bit regsvr32 and offered to 64-bit clients by "vrkauth surrogate on", answers from
// dllhost.exe, and every IsInstalled call crosses to that process and back. The peer is the
// same call on the 64-bit server loaded in process. scripts/bench.sh prepares the prefix and
// runs this program where both architectures run; it has no test of its own for that reason.
#include "support/BenchSupport.h"

using namespace Veyrak;

namespace VrkBench
{

namespace
{

class SurrogateSetup : public SetupSteps
{
public:
    static SurrogateSetup& Get() { return SharedSetup<SurrogateSetup>(); }
    friend SurrogateSetup& SharedSetup<SurrogateSetup>();

    IVRKsolutionAuthenticator1* Surrogate() const { return m_surrogate.Get(); }
    IVRKsolutionAuthenticator1* InProcess() const { return m_inProcess.Get(); }

private:
    SurrogateSetup()
    {
        if (Check(m_server.Result(), "load vrksolauth.dll") &&
            Check(m_server.CreateAuthenticator(m_inProcess), "create the authenticator in process"))
            Check(::CoCreateInstance(CLSID_VRKsolutionAuthenticator, nullptr, CLSCTX_LOCAL_SERVER,
                                     IID_IVRKsolutionAuthenticator1, m_surrogate.PutVoid()),
                  "create the authenticator in the surrogate (is the 32-bit server registered, the surrogate on?)");
    }

    SurrogateSetup* Release()
    {
        m_surrogate.Reset();
        m_inProcess.Reset();
        return this;
    }

    ServerLibrary m_server;
    ComPtr<IVRKsolutionAuthenticator1> m_inProcess;
    ComPtr<IVRKsolutionAuthenticator1> m_surrogate;
};

using AuthenticatorOf = IVRKsolutionAuthenticator1* (SurrogateSetup::*)() const;

void IsInstalledOf(benchmark::State& state, AuthenticatorOf which)
{
    SurrogateSetup& setup = SurrogateSetup::Get();
    if (FAILED(setup.Result()))
        return FailBenchmark(state, setup.FailedStep(), setup.Result());
    CallIsInstalled(state, (setup.*which)());
}

} // namespace

BENCHMARK_CAPTURE(IsInstalledOf, surrogate, &SurrogateSetup::Surrogate)->Name("F7.Surrogate.server")->UseRealTime();
BENCHMARK_CAPTURE(IsInstalledOf, in_process, &SurrogateSetup::InProcess)->Name("F7.Surrogate.peer")->UseRealTime();

} // namespace VrkBench

VRK_BENCHMARK_MAIN()
