// VRKsolutionAuthenticator.h: the server's one creatable class. It answers whether the
// VRKsolution client is installed and whether a user of a domain authenticates through
// the maker's components, which it connects to once, when it is created.
//
// Thread rules: the class is registered "Both". Its state is written only during
// CompleteConstruction, before any client sees the object, and only read afterwards, so
// its operations take no lock and may run concurrently.
#pragma once

#include "Common/Utility/ComPtr.h"
#include "server/ComObject.h"
#include "server/TypeInfoHolder.h"

#include "VeyrakComponents.h"
#include "vrksolauth.h"

namespace Veyrak
{

class VRKsolutionAuthenticator : public ISupportErrorInfo, public IVRKsolutionAuthenticator1, public ObjectRoot
{
public:
    // --- frame hooks ---
    static const InterfaceMapEntry* InterfaceTable();
    // Tests the installation key and, when it is there, connects to both components.
    HRESULT CompleteConstruction();
    // Releases the handle manager, then the primary user application.
    void Teardown();

    // The dispatch information shared by every object of the process.
    static TypeInfoHolder& DispatchInformation();

    // --- ISupportErrorInfo ---
    IFACEMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override;

    // --- IDispatch ---
    IFACEMETHODIMP GetTypeInfoCount(UINT* count) override;
    IFACEMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** typeInfo) override;
    IFACEMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* dispids) override;
    IFACEMETHODIMP Invoke(DISPID dispid, REFIID iid, LCID locale, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                          EXCEPINFO* exception, UINT* argumentError) override;

    // --- IVRKsolutionAuthenticator1 ---
    // The answer found when the object was created; the registry is not read again.
    IFACEMETHODIMP IsInstalled(VARIANT_BOOL* Installed) override;
    // The primary user application's verdict for the handle of Domain\User. Any failure
    // leaves *Valid VARIANT_FALSE.
    IFACEMETHODIMP Authenticate(BSTR Domain, BSTR User, VARIANT_BOOL* Valid) override;

    // Whether the installation key exists now. Uses no object state.
    static HRESULT _IsInstalled(VARIANT_BOOL* Installed);

protected:
    VRKsolutionAuthenticator() = default;

private:
    HRESULT _CreateHandle(BSTR Domain, BSTR User, BSTR* pbsHandle);
    void ConnectComponents();

    VARIANT_BOOL m_vbInstalled = VARIANT_FALSE;
    ComPtr<IPrimaryUserApp3> m_pPrimaryUserApp;
    ComPtr<IHandleManager> m_pHandleManager;
};

} // namespace Veyrak
