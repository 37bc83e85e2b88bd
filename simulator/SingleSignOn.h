// SingleSignOn.h: the substitute SSO component. Its one operation hands out a new primary
// user application object. Creation and that operation can be made to fail (FaultRehearsal).
//
// Thread rules: registered "Both"; the object has no state of its own.
#pragma once

#include "server/ComObject.h"
#include "simulator/LiveComponents.h"

#include "VeyrakComponents.h"

namespace Veyrak::Simulator
{

inline constexpr UINT kSingleSignOnScriptId = 101;

class SimulatedSingleSignOn : public ISingleSignOn, public ObjectRoot
{
public:
    static const InterfaceMapEntry* InterfaceTable();
    // Fails with the fault rehearsed for "CreateSingleSignOn" or "CreateComponent".
    HRESULT CompleteConstruction();
    void Teardown() {}
    static HRESULT Register(BOOL doRegister);

    // A new object answering IPrimaryUserApp3 and IDispatch; E_POINTER for a null out.
    IFACEMETHODIMP GetPrimaryUserApplication(IUnknown** application) override;

protected:
    SimulatedSingleSignOn() = default;

private:
    LiveComponent m_live;
};

} // namespace Veyrak::Simulator
