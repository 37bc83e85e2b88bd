// ServerModule.h: the process-wide record of an in-process server: instance handle,
// table of creatable classes, lock count, locks and the clean-ups that run at unload.
// Each server DLL owns one ServerModule and its own object map; the frame is shared.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace Veyrak
{

using InstanceCreator = HRESULT (*)(IUnknown* outer, REFIID iid, void** object);
using FactoryCreator = HRESULT (*)(InstanceCreator creator, REFIID iid, void** object);
using RegistrationHook = HRESULT (*)(BOOL doRegister);
using TerminationCallback = void (*)(DWORD_PTR argument);

// One row of a server's table of creatable classes; a row with a null class id ends it.
struct ObjectMapEntry
{
    const CLSID* classId;
    RegistrationHook registrationHook;
    FactoryCreator factoryCreator;
    InstanceCreator instanceCreator;
    IUnknown* cachedFactory; // made on first demand, held until the DLL detaches
};

struct TerminationEntry
{
    TerminationCallback callback;
    DWORD_PTR argument;
    TerminationEntry* next;
};

class ServerModule
{
public:
    // The DLL entry point's work: Attach at process attach, Detach at process detach.
    // Always TRUE.
    BOOL OnDllEntry(HINSTANCE instance, DWORD reason, ObjectMapEntry* objectMap);

    // DLL attach: records the module, makes the locks, and publishes this record.
    void Attach(HINSTANCE instance, ObjectMapEntry* objectMap);
    // DLL detach: releases the cached factories, deletes the locks, runs the clean-ups newest first.
    void Detach();

    HINSTANCE Instance() const { return m_instance; }
    ObjectMapEntry* ObjectMap() const { return m_objectMap; }

    // One lock for each live object, outside factory reference and LockServer(TRUE).
    LONG Lock() { return ::InterlockedIncrement(&m_lockCount); }
    LONG Unlock() { return ::InterlockedDecrement(&m_lockCount); }

    // Serialises the one-time load of type information and every change of the termination list.
    CRITICAL_SECTION& TypeInfoLock() { return m_typeInfoLock; }

    // Adds a clean-up to run at detach. E_OUTOFMEMORY adds nothing.
    HRESULT AddTerminationEntry(TerminationCallback callback, DWORD_PTR argument);

    // DllGetClassObject: the class's cached factory, made on first demand.
    HRESULT GetClassObject(REFCLSID classId, REFIID iid, void** object);
    // DllCanUnloadNow: S_OK while nothing holds the module.
    HRESULT CanUnloadNow() const { return m_lockCount == 0 ? S_OK : S_FALSE; }

private:
    // GetClassObject's first call for a class: makes and caches its factory under the lock.
    // Never inlined: its lock and calls would make GetClassObject save registers on every call.
    [[gnu::noinline]] HRESULT MakeClassObject(ObjectMapEntry& row, REFIID iid, void** object);

    HINSTANCE m_instance = nullptr;
    ObjectMapEntry* m_objectMap = nullptr;
    volatile LONG m_lockCount = 0;
    CRITICAL_SECTION m_typeInfoLock;
    CRITICAL_SECTION m_objectMapLock;
    TerminationEntry* m_terminationList = nullptr;
};

// The module of the DLL this code is linked into; set when the DLL attaches.
ServerModule& TheServerModule();

} // namespace Veyrak
