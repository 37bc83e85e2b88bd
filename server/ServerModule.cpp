// ServerModule.cpp: module lifetime, the class factory cache and the termination list.
#include "server/ServerModule.h"

#include "Common/Utility/UniqueResource.h"

#include <new>

namespace Veyrak
{

namespace
{
ServerModule* g_serverModule = nullptr;
}

ServerModule& TheServerModule()
{
    return *g_serverModule;
}

BOOL ServerModule::OnDllEntry(HINSTANCE instance, DWORD reason, ObjectMapEntry* objectMap)
{
    if (reason == DLL_PROCESS_ATTACH)
    {
        Attach(instance, objectMap);
        // No per-thread work: the server keeps no thread state.
        ::DisableThreadLibraryCalls(instance);
    }
    else if (reason == DLL_PROCESS_DETACH)
    {
        Detach();
    }
    return TRUE;
}

void ServerModule::Attach(HINSTANCE instance, ObjectMapEntry* objectMap)
{
    g_serverModule = this;
    m_instance = instance;
    m_objectMap = objectMap;
    m_lockCount = 0;
    ::InitializeCriticalSection(&m_typeInfoLock);
    ::InitializeCriticalSection(&m_objectMapLock);
    m_terminationList = nullptr;
}

void ServerModule::Detach()
{
    for (ObjectMapEntry* row = m_objectMap; row && row->classId; ++row)
    {
        if (IUnknown* factory = row->cachedFactory)
        {
            row->cachedFactory = nullptr;
            factory->Release();
        }
    }
    ::DeleteCriticalSection(&m_typeInfoLock);
    ::DeleteCriticalSection(&m_objectMapLock);
    while (TerminationEntry* entry = m_terminationList)
    {
        m_terminationList = entry->next;
        entry->callback(entry->argument);
        delete entry;
    }
}

HRESULT ServerModule::AddTerminationEntry(TerminationCallback callback, DWORD_PTR argument)
{
    auto* entry = new (std::nothrow) TerminationEntry{callback, argument, nullptr};
    if (!entry)
        return E_OUTOFMEMORY;
    CriticalSectionGuard guard(m_typeInfoLock);
    entry->next = m_terminationList;
    m_terminationList = entry;
    return S_OK;
}

// Every call but a class's first finds a factory in the table: that path takes no lock and makes
// no call of its own, the factory's QueryInterface answering in its place (a tail call).
HRESULT ServerModule::GetClassObject(REFCLSID classId, REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    for (ObjectMapEntry* row = m_objectMap; row && row->classId; ++row)
    {
        if (!::IsEqualCLSID(*row->classId, classId))
            continue;
        if (IUnknown* factory = row->cachedFactory)
            return factory->QueryInterface(iid, object);
        return MakeClassObject(*row, iid, object);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT ServerModule::MakeClassObject(ObjectMapEntry& row, REFIID iid, void** object)
{
    HRESULT result = S_OK;
    {
        // Tested again under the lock: two first callers must not make two factories.
        CriticalSectionGuard guard(m_objectMapLock);
        if (!row.cachedFactory)
            result =
                row.factoryCreator(row.instanceCreator, IID_IUnknown, reinterpret_cast<void**>(&row.cachedFactory));
    }
    if (row.cachedFactory)
        result = row.cachedFactory->QueryInterface(iid, object);
    return result;
}

} // namespace Veyrak
