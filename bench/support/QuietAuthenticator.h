// QuietAuthenticator.h: one authenticator of the server connected to the allocation-free
// components, made once per program and shared by its benchmarks and their threads, together
// with the very component pointers that the server holds, for the direct calls that it is
// compared with.
#pragma once

#include "Common/Utility/ComPtr.h"
#include "support/BenchSupport.h"
#include "support/QuietComponents.h"

#include "VeyrakComponents.h"

namespace VrkBench
{

class QuietAuthenticator : public SetupSteps
{
public:
    // Made on first use in the multithreaded apartment; released when the run ends.
    static QuietAuthenticator& Get();

    // Result(): S_OK when the server, the installation key, the components and the object are
    // all there; otherwise the first failure.

    const ServerLibrary& Server() const { return m_server; }
    IVRKsolutionAuthenticator1* Authenticator() const { return m_authenticator.Get(); }
    IHandleManager* HandleManager() const { return m_handleManager.Get(); }
    IPrimaryUserApp3* Application() const { return m_application.Get(); }

    QuietAuthenticator(const QuietAuthenticator&) = delete;
    QuietAuthenticator& operator=(const QuietAuthenticator&) = delete;
    ~QuietAuthenticator();

private:
    QuietAuthenticator();

    ServerLibrary m_server;
    ProductInstallation m_installation;
    QuietComponentRegistration m_components;
    Veyrak::ComPtr<IVRKsolutionAuthenticator1> m_authenticator;
    Veyrak::ComPtr<IHandleManager> m_handleManager;
    Veyrak::ComPtr<IPrimaryUserApp3> m_application;
};

} // namespace VrkBench
