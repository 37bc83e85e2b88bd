// HandleManager.h: the substitute handle manager. It turns a domain and a user name into a
// user handle (UserHandle.h) without consulting the directory: whether the user exists is
// the primary user application's question.
//
// Thread rules: registered "Both"; the object has no state of its own.
#pragma once

#include "server/ComObject.h"
#include "simulator/LiveComponents.h"

#include "VeyrakComponents.h"

namespace Veyrak::Simulator
{

inline constexpr UINT kHandleManagerScriptId = 102;

class SimulatedHandleManager : public IHandleManager, public ObjectRoot
{
public:
    static const InterfaceMapEntry* InterfaceTable();
    // Fails with the fault rehearsed for "CreateHandleManager" or "CreateComponent".
    HRESULT CompleteConstruction();
    void Teardown() {}
    static HRESULT Register(BOOL doRegister);

    // E_POINTER for a null out; E_INVALIDARG for an empty user or a name longer than
    // kMaxNameLength. A null or empty domain is encoded as it is. reserved is ignored.
    IFACEMETHODIMP CreateUserHandle(BSTR domain, BSTR user, LONG reserved, BSTR* handle) override;

protected:
    SimulatedHandleManager() = default;

private:
    LiveComponent m_live;
};

} // namespace Veyrak::Simulator
