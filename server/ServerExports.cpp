// ServerExports.cpp: the exports that every in-process server of the project has in common.
// Compiled into each server DLL (vrk_add_com_server), never into a library: the loader's entry
// routine and the .def file's exports must be defined in the DLL itself.
#include "server/ServerExports.h"

using namespace Veyrak;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    return g_module.OnDllEntry(instance, reason, g_objectMap);
}

STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, void** object)
{
    return g_module.GetClassObject(classId, iid, object);
}

STDAPI DllCanUnloadNow()
{
    return g_module.CanUnloadNow();
}
