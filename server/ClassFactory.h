// ClassFactory.h: the one class factory of each creatable class, cached in the object map.
#pragma once

#include "server/ServerModule.h"

#include <windows.h>
#include <unknwn.h>

namespace Veyrak
{

// Holds the module locked exactly while somebody besides the object map holds it:
// the count's step to 2 locks the module and its step back to 1 unlocks it, under the
// factory's own lock so that two threads cannot both see the same step.
class ClassFactory final : public IClassFactory
{
public:
    // The factory creator of an object map row.
    static HRESULT Create(InstanceCreator creator, REFIID iid, void** out);

    IFACEMETHODIMP QueryInterface(REFIID iid, void** out) override;
    IFACEMETHODIMP_(ULONG) AddRef() override;
    IFACEMETHODIMP_(ULONG) Release() override;

    // An outer object may only ask for IUnknown (CLASS_E_NOAGGREGATION otherwise).
    IFACEMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
    IFACEMETHODIMP LockServer(BOOL lock) override;

private:
    explicit ClassFactory(InstanceCreator creator);
    ~ClassFactory();

    volatile LONG m_refCount = 0;
    InstanceCreator m_instanceCreator;
    CRITICAL_SECTION m_lock;
};

} // namespace Veyrak
