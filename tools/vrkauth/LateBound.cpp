// LateBound.cpp: the late-bound client. A failing method reaches us as DISP_E_EXCEPTION with
// the server's error information copied into EXCEPINFO; any other failure of Invoke comes
// with whatever the thread's error information holds.
#include "LateBound.h"

#include "Common/Utility/ComPtr.h"
#include "Common/Utility/UniqueResource.h"

#include <oleauto.h>

#include <vector>

namespace Vrkauth
{

namespace
{

const wchar_t kProgId[] = L"Vrksolauth.VRKsolutionAuthenticator";

Answer CreateAuthenticator(Veyrak::ComPtr<IDispatch>& authenticator)
{
    CLSID clsid = GUID_NULL;
    HRESULT result = ::CLSIDFromProgID(kProgId, &clsid);
    if (FAILED(result))
        return Failure("CLSIDFromProgID", ErrorReportWithoutInformation(result));
    result = ::CoCreateInstance(clsid, nullptr, kAuthenticatorContext, IID_IDispatch, authenticator.PutVoid());
    if (FAILED(result))
        return Failure("CoCreateInstance", ErrorReportFromThread(result));
    return Yes(true);
}

// Calls the method by name with the arguments in their written order; the answer is the
// method's VARIANT_BOOL result.
Answer CallBooleanMethod(IDispatch* authenticator, const wchar_t* method, std::vector<VARIANT> arguments)
{
    LPOLESTR name = const_cast<LPOLESTR>(method);
    DISPID dispid = DISPID_UNKNOWN;
    HRESULT result = authenticator->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &dispid);
    if (FAILED(result))
        return Failure("GetIDsOfNames", ErrorReportFromThread(result));

    // IDispatch takes the arguments last first.
    std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
    DISPPARAMS parameters = {reversed.empty() ? nullptr : reversed.data(), nullptr, static_cast<UINT>(reversed.size()),
                             0};
    Veyrak::UniqueVariant returned;
    EXCEPINFO exception = {};
    UINT argumentError = 0;
    result = authenticator->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters, &returned,
                                   &exception, &argumentError);
    const std::string step = "Invoke(" + Narrow(method) + ")";
    if (result == DISP_E_EXCEPTION)
        return Failure(step, ErrorReportFromExceptionInfo(exception));
    if (FAILED(result))
        return Failure(step, ErrorReportFromThread(result));

    result = ::VariantChangeType(&returned, &returned, 0, VT_BOOL);
    if (FAILED(result))
        return Failure(step + " result", ErrorReportWithoutInformation(result));
    return Yes(V_BOOL(&returned) != VARIANT_FALSE);
}

VARIANT BstrArgument(BSTR text)
{
    VARIANT argument;
    ::VariantInit(&argument);
    V_VT(&argument) = VT_BSTR;
    V_BSTR(&argument) = text;
    return argument;
}

} // namespace

Answer AskInstalledLateBound()
{
    Veyrak::ComPtr<IDispatch> authenticator;
    Answer created = CreateAuthenticator(authenticator);
    if (!created.succeeded)
        return created;
    return CallBooleanMethod(authenticator.Get(), L"IsInstalled", {});
}

Answer AuthenticateLateBound(const std::wstring& domain, const std::wstring& user)
{
    Veyrak::ComPtr<IDispatch> authenticator;
    Answer created = CreateAuthenticator(authenticator);
    if (!created.succeeded)
        return created;

    // The VARIANTs only borrow these strings; they stay owned here.
    Veyrak::UniqueBstr domainText(::SysAllocStringLen(domain.data(), static_cast<UINT>(domain.size())));
    Veyrak::UniqueBstr userText(::SysAllocStringLen(user.data(), static_cast<UINT>(user.size())));
    if (!domainText || !userText)
        return Failure("SysAllocStringLen", ErrorReportWithoutInformation(E_OUTOFMEMORY));
    return CallBooleanMethod(authenticator.Get(), L"Authenticate",
                             {BstrArgument(domainText.get()), BstrArgument(userText.get())});
}

} // namespace Vrkauth
