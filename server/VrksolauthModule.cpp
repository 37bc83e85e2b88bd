// VrksolauthModule.cpp: vrksolauth.dll's entry point, its table of creatable classes and
// its exports. Everything else of the frame is shared with other servers.
#include "authenticator/VRKsolutionAuthenticator.h"
#include "server/ClassFactory.h"
#include "server/ComObject.h"
#include "server/ServerModule.h"

#include "vrksolauth.h"

using namespace Veyrak;

namespace
{

ServerModule g_module;

ObjectMapEntry g_objectMap[] = {
    {&CLSID_VRKsolutionAuthenticator, nullptr, &ClassFactory::Create,
     &CreateComInstance<Veyrak::VRKsolutionAuthenticator>, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
    {
        g_module.Attach(instance, g_objectMap);
        ::DisableThreadLibraryCalls(instance);
    }
    else if (reason == DLL_PROCESS_DETACH)
    {
        g_module.Detach();
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, void** object)
{
    return g_module.GetClassObject(classId, iid, object);
}

STDAPI DllCanUnloadNow()
{
    return g_module.CanUnloadNow();
}
