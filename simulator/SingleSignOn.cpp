// SingleSignOn.cpp: the substitute SSO component.
#include "simulator/SingleSignOn.h"

#include "registrar/Registrar.h"
#include "simulator/FaultRehearsal.h"
#include "simulator/PrimaryUserApplication.h"

namespace Veyrak::Simulator
{

const InterfaceMapEntry* SimulatedSingleSignOn::InterfaceTable()
{
    static const InterfaceMapEntry table[] = {
        {&IID_ISingleSignOn, EntryPointOffset<ISingleSignOn, SimulatedSingleSignOn>()},
        {nullptr, 0},
    };
    return table;
}

HRESULT SimulatedSingleSignOn::CompleteConstruction()
{
    return FaultRehearsal().CreationFault(L"CreateSingleSignOn");
}

HRESULT SimulatedSingleSignOn::Register(BOOL doRegister)
{
    return UpdateRegistryFromScript(TheServerModule().Instance(), kSingleSignOnScriptId, doRegister, nullptr);
}

IFACEMETHODIMP SimulatedSingleSignOn::GetPrimaryUserApplication(IUnknown** application)
{
    if (!application)
        return E_POINTER;
    *application = nullptr;
    HRESULT fault = FaultRehearsal().ActiveFault(L"GetPrimaryUserApplication");
    if (FAILED(fault))
        return fault;
    return CreateComInstance<SimulatedPrimaryUserApp>(nullptr, IID_IUnknown, reinterpret_cast<void**>(application));
}

} // namespace Veyrak::Simulator
