// ClassFactory.cpp: the class factory handed out by DllGetClassObject.
#include "server/ClassFactory.h"

#include "Common/Utility/UniqueResource.h"
#include "server/InterfaceTable.h"

#include <new>

namespace Veyrak
{

namespace
{
const InterfaceMapEntry kFactoryInterfaces[] = {
    {&IID_IClassFactory, 0},
    {nullptr, 0},
};
} // namespace

ClassFactory::ClassFactory(InstanceCreator creator) : m_instanceCreator(creator)
{
    ::InitializeCriticalSection(&m_lock);
}

ClassFactory::~ClassFactory()
{
    ::DeleteCriticalSection(&m_lock);
}

HRESULT ClassFactory::Create(InstanceCreator creator, REFIID iid, void** out)
{
    auto* factory = new (std::nothrow) ClassFactory(creator);
    if (!factory)
        return E_OUTOFMEMORY;
    HRESULT result = factory->QueryInterface(iid, out);
    if (result != S_OK)
        delete factory;
    return result;
}

HRESULT ClassFactory::QueryInterface(REFIID iid, void** out)
{
    return InterfaceTableLookup(static_cast<IClassFactory*>(this), kFactoryInterfaces, iid, out);
}

ULONG ClassFactory::AddRef()
{
    CriticalSectionGuard guard(m_lock);
    LONG count = ::InterlockedIncrement(&m_refCount);
    if (count == 2)
        TheServerModule().Lock();
    return static_cast<ULONG>(count);
}

ULONG ClassFactory::Release()
{
    LONG count;
    {
        CriticalSectionGuard guard(m_lock);
        count = ::InterlockedDecrement(&m_refCount);
    }
    if (count == 0)
        delete this;
    else if (count == 1)
        TheServerModule().Unlock();
    return static_cast<ULONG>(count);
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (outer && !::IsEqualIID(iid, IID_IUnknown))
        return CLASS_E_NOAGGREGATION;
    return m_instanceCreator(outer, iid, out);
}

HRESULT ClassFactory::LockServer(BOOL lock)
{
    if (lock)
        TheServerModule().Lock();
    else
        TheServerModule().Unlock();
    return S_OK;
}

} // namespace Veyrak
