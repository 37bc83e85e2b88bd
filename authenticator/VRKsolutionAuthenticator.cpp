// VRKsolutionAuthenticator.cpp: the two questions, answered through the maker's components.
#include "authenticator/VRKsolutionAuthenticator.h"

#include "Common/Utility/UniqueResource.h"
#include "authenticator/Components.h"
#include "authenticator/FailureLadder.h"
#include "authenticator/ProductKey.h"
#include "authenticator/SignedInstance.h"

namespace Veyrak
{

namespace
{

// A component that reports success must deliver a pointer; nothing null is ever called through.
void ThrowIfFailedOrNull(HRESULT result, const void* delivered, const char* message)
{
    if (FAILED(result))
        ThrowCOMError(result, message);
    if (!delivered)
        ThrowCOMError(E_UNEXPECTED, message);
}

template <typename Body> HRESULT Guarded(Body&& body) noexcept
{
    return RunGuarded(CLSID_VRKsolutionAuthenticator, IID_IVRKsolutionAuthenticator1, body);
}

} // namespace

const InterfaceMapEntry* VRKsolutionAuthenticator::InterfaceTable()
{
    using Self = VRKsolutionAuthenticator;
    static const InterfaceMapEntry table[] = {
        {&IID_IVRKsolutionAuthenticator1, EntryPointOffset<IVRKsolutionAuthenticator1, Self>()},
        {&IID_IDispatch, EntryPointOffset<IVRKsolutionAuthenticator1, Self>()},
        {&IID_ISupportErrorInfo, EntryPointOffset<ISupportErrorInfo, Self>()},
        {nullptr, 0},
    };
    return table;
}

TypeInfoHolder& VRKsolutionAuthenticator::DispatchInformation()
{
    static TypeInfoHolder holder(&IID_IVRKsolutionAuthenticator1, &LIBID_VRKSOLAUTHLib, 1, 0);
    return holder;
}

HRESULT VRKsolutionAuthenticator::CompleteConstruction()
{
    return Guarded(
        [&]
        {
            m_vbInstalled = VARIANT_FALSE;
            _IsInstalled(&m_vbInstalled);
            if (m_vbInstalled != VARIANT_FALSE)
                ConnectComponents();
            return S_OK;
        });
}

void VRKsolutionAuthenticator::ConnectComponents()
{
    ComPtr<ISingleSignOn> singleSignOn;
    HRESULT result = CreateSignedInstance(CLSID_VeyrakSingleSignOn, nullptr, kSsoClassContext, IID_ISingleSignOn,
                                          singleSignOn.PutVoid(), nullptr);
    ThrowIfFailedOrNull(result, singleSignOn.Get(), "VRKauth: failed to create signed SSO component");

    ComPtr<IUnknown> application;
    result = singleSignOn->GetPrimaryUserApplication(application.Put());
    ThrowIfFailedOrNull(result, application.Get(), "VRKauth: failed to GetPrimaryUserApplication");

    result = application.QueryInterface(IID_IPrimaryUserApp3, m_pPrimaryUserApp);
    ThrowIfFailedOrNull(result, m_pPrimaryUserApp.Get(), "VRKauth: QI(IPrimaryUserApp3) failed");
    // The application judges every request: it too must be the maker's code, or COM's proxy.
    result = VerifyHandedOutComponent(m_pPrimaryUserApp.Get());
    if (FAILED(result))
    {
        m_pPrimaryUserApp.Reset();
        ThrowCOMError(result, "VRKauth: QI(IPrimaryUserApp3) failed");
    }

    result = CreateSignedInstance(CLSID_VeyrakHandleManager, nullptr, kHandleManagerClassContext, IID_IHandleManager,
                                  m_pHandleManager.PutVoid(), nullptr);
    ThrowIfFailedOrNull(result, m_pHandleManager.Get(), "VRKauth: failed to create signed handle manager component");
    // The local references go in reverse order: the application's first, then the SSO component's.
    application.Reset();
    singleSignOn.Reset();
}

void VRKsolutionAuthenticator::Teardown()
{
    m_pHandleManager.Reset();
    m_pPrimaryUserApp.Reset();
}

HRESULT VRKsolutionAuthenticator::InterfaceSupportsErrorInfo(REFIID iid)
{
    return ::IsEqualIID(iid, IID_IVRKsolutionAuthenticator1) ? S_OK : S_FALSE;
}

HRESULT VRKsolutionAuthenticator::GetTypeInfoCount(UINT* count)
{
    return DispatchInformation().GetTypeInfoCount(count);
}

HRESULT VRKsolutionAuthenticator::GetTypeInfo(UINT index, LCID locale, ITypeInfo** typeInfo)
{
    return DispatchInformation().GetTypeInfo(index, locale, typeInfo);
}

HRESULT VRKsolutionAuthenticator::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* dispids)
{
    return DispatchInformation().GetIDsOfNames(iid, names, count, locale, dispids);
}

HRESULT VRKsolutionAuthenticator::Invoke(DISPID dispid, REFIID iid, LCID locale, WORD flags, DISPPARAMS* parameters,
                                         VARIANT* result, EXCEPINFO* exception, UINT* argumentError)
{
    return DispatchInformation().Invoke(static_cast<IVRKsolutionAuthenticator1*>(this), dispid, iid, locale, flags,
                                        parameters, result, exception, argumentError);
}

HRESULT VRKsolutionAuthenticator::IsInstalled(VARIANT_BOOL* Installed)
{
    return Guarded(
        [&]
        {
            if (!Installed)
                ThrowCOMError(E_POINTER, "IsInstalled: NULL parameter: Installed");
            *Installed = m_vbInstalled;
            return S_OK;
        });
}

HRESULT VRKsolutionAuthenticator::_IsInstalled(VARIANT_BOOL* Installed)
{
    if (!Installed)
        ThrowCOMError(E_POINTER, "_IsInstalled: NULL parameter: Installed");
    *Installed = VARIANT_FALSE;
    UniqueHkey key;
    // Denied access or any other failure simply means "not installed".
    if (::RegOpenKeyA(HKEY_LOCAL_MACHINE, kProductKeyPath, key.put()) == ERROR_SUCCESS)
    {
        key.reset();
        *Installed = VARIANT_TRUE;
    }
    return S_OK;
}

HRESULT VRKsolutionAuthenticator::Authenticate(BSTR Domain, BSTR User, VARIANT_BOOL* Valid)
{
    HRESULT result = Guarded(
        [&]
        {
            if (!Valid)
                ThrowCOMError(E_POINTER, "Authenticate: NULL parameter: Valid");
            *Valid = VARIANT_FALSE;
            if (m_vbInstalled == VARIANT_FALSE)
                ThrowCOMError(E_FAIL, "Authenticate: VRKsolution not installed");

            UniqueBstr handle;
            _CreateHandle(Domain, User, handle.put());
            HRESULT verdictResult = m_pPrimaryUserApp->AuthenticateUser(handle.get(), Valid);
            if (FAILED(verdictResult))
                ThrowCOMError(verdictResult, "Authenticate: AuthenticateUser failed");
            return S_OK;
        });
    // A failure never carries a true verdict, whatever a component wrote before failing.
    if (FAILED(result) && Valid)
        *Valid = VARIANT_FALSE;
    return result;
}

HRESULT VRKsolutionAuthenticator::_CreateHandle(BSTR Domain, BSTR User, BSTR* pbsHandle)
{
    if (!pbsHandle)
        ThrowCOMError(E_POINTER, "_CreateHandle: NULL parameter: pbsHandle");
    if (::SysStringLen(User) == 0)
        ThrowCOMError(E_INVALIDARG, "_CreateHandle: missing parameter: User");
    HRESULT result = m_pHandleManager->CreateUserHandle(Domain, User, 0, pbsHandle);
    if (FAILED(result))
        ThrowCOMError(result, "_CreateHandle: failed to create a user handle");
    return S_OK;
}

} // namespace Veyrak
