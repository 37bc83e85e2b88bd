// HandleManager.cpp: the substitute handle manager.
#include "simulator/HandleManager.h"

#include "registrar/Registrar.h"
#include "simulator/ComponentSupport.h"
#include "simulator/FaultRehearsal.h"
#include "simulator/UserHandle.h"

namespace Veyrak::Simulator
{

const InterfaceMapEntry* SimulatedHandleManager::InterfaceTable()
{
    static const InterfaceMapEntry table[] = {
        {&IID_IHandleManager, EntryPointOffset<IHandleManager, SimulatedHandleManager>()},
        {nullptr, 0},
    };
    return table;
}

HRESULT SimulatedHandleManager::CompleteConstruction()
{
    return FaultRehearsal().CreationFault(L"CreateHandleManager");
}

HRESULT SimulatedHandleManager::Register(BOOL doRegister)
{
    return UpdateRegistryFromScript(TheServerModule().Instance(), kHandleManagerScriptId, doRegister, nullptr);
}

IFACEMETHODIMP SimulatedHandleManager::CreateUserHandle(BSTR domain, BSTR user, LONG, BSTR* handle)
{
    if (!handle)
        return E_POINTER;
    *handle = nullptr;
    UINT userLength = ::SysStringLen(user);
    if (userLength == 0 || userLength > kMaxNameLength || ::SysStringLen(domain) > kMaxNameLength)
        return E_INVALIDARG;
    return GuardedResult(
        [&]
        {
            HRESULT fault = FaultRehearsal().ActiveFault(L"CreateUserHandle");
            if (FAILED(fault))
                return fault;
            return ToBstr(EncodeUserHandle(FromBstr(domain), FromBstr(user)), handle);
        });
}

} // namespace Veyrak::Simulator
