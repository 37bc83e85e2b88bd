// PrimaryUserApplication.cpp: the substitute primary user application.
#include "simulator/PrimaryUserApplication.h"

#include "simulator/ComponentSupport.h"
#include "simulator/FaultRehearsal.h"
#include "simulator/UserDirectory.h"
#include "simulator/UserHandle.h"

namespace Veyrak::Simulator
{

namespace
{
constexpr wchar_t kApplicationName[] = L"VRKsolution Simulator";
}

const InterfaceMapEntry* SimulatedPrimaryUserApp::InterfaceTable()
{
    using Self = SimulatedPrimaryUserApp;
    static const InterfaceMapEntry table[] = {
        {&IID_IPrimaryUserApp3, EntryPointOffset<IPrimaryUserApp3, Self>()},
        {&IID_IDispatch, EntryPointOffset<IPrimaryUserApp3, Self>()},
        {nullptr, 0},
    };
    return table;
}

IFACEMETHODIMP SimulatedPrimaryUserApp::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

IFACEMETHODIMP SimulatedPrimaryUserApp::GetTypeInfo(UINT, LCID, ITypeInfo** typeInfo)
{
    if (!typeInfo)
        return E_POINTER;
    *typeInfo = nullptr;
    return E_NOTIMPL;
}

IFACEMETHODIMP SimulatedPrimaryUserApp::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*)
{
    return E_NOTIMPL;
}

IFACEMETHODIMP SimulatedPrimaryUserApp::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)
{
    return E_NOTIMPL;
}

IFACEMETHODIMP SimulatedPrimaryUserApp::GetApplicationName(BSTR* name)
{
    if (!name)
        return E_POINTER;
    return ToBstr(kApplicationName, name);
}

IFACEMETHODIMP SimulatedPrimaryUserApp::AuthenticateUser(BSTR handle, VARIANT_BOOL* verdict)
{
    if (!verdict)
        return E_POINTER;
    *verdict = VARIANT_FALSE;
    return GuardedResult(
        [&]
        {
            HRESULT fault = FaultRehearsal().ActiveFault(L"AuthenticateUser");
            if (FAILED(fault))
                return fault;
            std::wstring domain;
            std::wstring user;
            if (!DecodeUserHandle(FromBstr(handle), domain, user))
                return VRKSIM_E_MALFORMEDHANDLE;
            if (UserDirectory().Lookup(domain, user) == UserState::Enabled)
                *verdict = VARIANT_TRUE;
            return S_OK;
        });
}

} // namespace Veyrak::Simulator
