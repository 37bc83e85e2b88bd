// EarlyBound.cpp: the early-bound client; each question creates its own object.
#include "EarlyBound.h"

#include "Common/Utility/ComPtr.h"
#include "Common/Utility/UniqueResource.h"

#include "vrksolauth.h"

namespace Vrkauth
{

namespace
{

HRESULT CreateAuthenticator(Veyrak::ComPtr<IVRKsolutionAuthenticator1>& authenticator)
{
    return ::CoCreateInstance(CLSID_VRKsolutionAuthenticator, nullptr, kAuthenticatorContext,
                              IID_IVRKsolutionAuthenticator1, authenticator.PutVoid());
}

} // namespace

Answer AskInstalledEarlyBound()
{
    Veyrak::ComPtr<IVRKsolutionAuthenticator1> authenticator;
    HRESULT result = CreateAuthenticator(authenticator);
    if (FAILED(result))
        return Failure("CoCreateInstance", ErrorReportFromThread(result));

    VARIANT_BOOL installed = VARIANT_FALSE;
    result = authenticator->IsInstalled(&installed);
    if (FAILED(result))
        return Failure("IsInstalled", ErrorReportFromThread(result));
    return Yes(installed != VARIANT_FALSE);
}

Answer AuthenticateEarlyBound(const std::wstring& domain, const std::wstring& user)
{
    Veyrak::ComPtr<IVRKsolutionAuthenticator1> authenticator;
    HRESULT result = CreateAuthenticator(authenticator);
    if (FAILED(result))
        return Failure("CoCreateInstance", ErrorReportFromThread(result));

    Veyrak::UniqueBstr domainText(::SysAllocStringLen(domain.data(), static_cast<UINT>(domain.size())));
    Veyrak::UniqueBstr userText(::SysAllocStringLen(user.data(), static_cast<UINT>(user.size())));
    if (!domainText || !userText)
        return Failure("SysAllocStringLen", ErrorReportWithoutInformation(E_OUTOFMEMORY));

    VARIANT_BOOL valid = VARIANT_FALSE;
    result = authenticator->Authenticate(domainText.get(), userText.get(), &valid);
    if (FAILED(result))
        return Failure("Authenticate", ErrorReportFromThread(result));
    return Yes(valid != VARIANT_FALSE);
}

} // namespace Vrkauth
