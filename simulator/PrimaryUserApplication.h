// PrimaryUserApplication.h: the substitute primary user application, handed out by the SSO
// component. AuthenticateUser decides a user handle against the user directory: enabled
// users authenticate, everyone else does not. It has no type library: of IDispatch it
// answers only GetTypeInfoCount (0).
//
// Thread rules: registered "Both"; the object has no state of its own.
#pragma once

#include "server/ComObject.h"
#include "simulator/LiveComponents.h"

#include "VeyrakComponents.h"

namespace Veyrak::Simulator
{

class SimulatedPrimaryUserApp : public IPrimaryUserApp3, public ObjectRoot
{
public:
    static const InterfaceMapEntry* InterfaceTable();
    HRESULT CompleteConstruction() { return S_OK; }
    void Teardown() {}

    // --- IDispatch ---
    IFACEMETHODIMP GetTypeInfoCount(UINT* count) override;
    IFACEMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** typeInfo) override;
    IFACEMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* dispids) override;
    IFACEMETHODIMP Invoke(DISPID dispid, REFIID iid, LCID locale, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                          EXCEPINFO* exception, UINT* argumentError) override;

    // --- IPrimaryUserApp3 ---
    IFACEMETHODIMP GetApplicationName(BSTR* name) override;
    // E_POINTER for a null verdict; otherwise the verdict is VARIANT_FALSE unless the handle
    // names an enabled user. VRKSIM_E_MALFORMEDHANDLE for a handle that does not decode.
    IFACEMETHODIMP AuthenticateUser(BSTR handle, VARIANT_BOOL* verdict) override;

protected:
    SimulatedPrimaryUserApp() = default;

private:
    LiveComponent m_live;
};

} // namespace Veyrak::Simulator
