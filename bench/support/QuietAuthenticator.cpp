// QuietAuthenticator.cpp: the shared authenticator and the components behind it.
#include "support/QuietAuthenticator.h"

#include <memory>

using namespace Veyrak;

namespace VrkBench
{

namespace
{
std::unique_ptr<QuietAuthenticator> g_instance;

void ReleaseInstance()
{
    g_instance.reset();
}
} // namespace

QuietAuthenticator& QuietAuthenticator::Get()
{
    // Benchmarks of several threads ask at once; the first asker makes it.
    static const bool made = []
    {
        g_instance.reset(new QuietAuthenticator());
        AtEndOfRun(&ReleaseInstance);
        return true;
    }();
    (void)made;
    return *g_instance;
}

QuietAuthenticator::QuietAuthenticator()
{
    if (!Check(m_server.Result(), "load vrksolauth.dll") ||
        !Check(m_installation.Result(), "create the installation key") ||
        !Check(m_components.Result(), "register the components") ||
        !Check(m_server.CreateAuthenticator(m_authenticator), "create the authenticator"))
        return;
    // The same objects that the server connected to, found the way it finds them.
    if (!Check(::CoCreateInstance(CLSID_VeyrakHandleManager, nullptr, CLSCTX_INPROC_SERVER, IID_IHandleManager,
                                  m_handleManager.PutVoid()),
               "create the handle manager"))
        return;
    ComPtr<ISingleSignOn> singleSignOn;
    ComPtr<IUnknown> application;
    if (!Check(::CoCreateInstance(CLSID_VeyrakSingleSignOn, nullptr, CLSCTX_INPROC_SERVER, IID_ISingleSignOn,
                                  singleSignOn.PutVoid()),
               "create the single sign-on component") ||
        !Check(singleSignOn->GetPrimaryUserApplication(application.Put()), "get the primary user application"))
        return;
    Check(application.QueryInterface(IID_IPrimaryUserApp3, m_application), "ask for IPrimaryUserApp3");
}

QuietAuthenticator::~QuietAuthenticator()
{
    m_application.Reset();
    m_handleManager.Reset();
    m_authenticator.Reset();
}

} // namespace VrkBench
