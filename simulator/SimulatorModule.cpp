// SimulatorModule.cpp: vrksimulator.dll's entry point, its table of creatable classes and
// its exports. The frame and the script interpreter are those of vrksolauth.dll.
#include "server/ClassFactory.h"
#include "server/ComObject.h"
#include "server/ServerModule.h"
#include "simulator/HandleManager.h"
#include "simulator/SimulatorRegistration.h"
#include "simulator/SingleSignOn.h"

using namespace Veyrak;
using namespace Veyrak::Simulator;

namespace
{

ServerModule g_module;

ObjectMapEntry g_objectMap[] = {
    {&CLSID_VeyrakSingleSignOn, &SimulatedSingleSignOn::Register, &ClassFactory::Create,
     &CreateComInstance<SimulatedSingleSignOn>, nullptr},
    {&CLSID_VeyrakHandleManager, &SimulatedHandleManager::Register, &ClassFactory::Create,
     &CreateComInstance<SimulatedHandleManager>, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

} // namespace

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

STDAPI DllRegisterServer()
{
    return RegisterServer(g_module);
}

STDAPI DllUnregisterServer()
{
    return UnregisterServer(g_module);
}
