// VrksolauthModule.cpp: vrksolauth.dll's module, its table of creatable classes and its
// registration exports. The other exports and the rest of the frame are shared with other servers.
#include "authenticator/VRKsolutionAuthenticator.h"
#include "Common/Utility/ModulePath.h"
#include "Common/Utility/Result.h"
#include "server/ClassFactory.h"
#include "server/ComObject.h"
#include "server/ServerExports.h"
#include "server/ServerModule.h"
#include "server/ServerRegistration.h"
#include "server/SideBySideRegistration.h"
#include "registrar/Registrar.h"

#include "vrksolauth.h"

using namespace Veyrak;

namespace
{

// The registration script carried as resource "REGISTRY" 101.
constexpr UINT kRegistrationScriptId = 101;
// The ProgIDs that the script registers for the class, which the two architectures share.
const char* const kProgIds[] = {"Vrksolauth.VRKsolutionAuthenticator.1", "Vrksolauth.VRKsolutionAuthenticator",
                                nullptr};

HRESULT RegisterAuthenticatorClass(BOOL doRegister)
{
    return UpdateRegistryFromScript(g_module.Instance(), kRegistrationScriptId, doRegister, nullptr);
}

} // namespace

ServerModule Veyrak::g_module;

ObjectMapEntry Veyrak::g_objectMap[] = {
    {&CLSID_VRKsolutionAuthenticator, &RegisterAuthenticatorClass, &ClassFactory::Create,
     &CreateComInstance<Veyrak::VRKsolutionAuthenticator>, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

// Writes the classes' registry entries, then registers the type library. A failing
// script is returned at once and leaves the type library unregistered.
STDAPI DllRegisterServer()
{
    VRK_RETURN_IF_FAILED(RegisterObjectMapClasses(g_module));
    return RegisterTypeLibrary(g_module.Instance());
}

// Removes what the scripts name and unregisters the type library, then puts back what the other
// architecture's server, still registered in the other registry view, shares with this one.
// Reports no failure of its steps; only a module path too long to be read whole is refused,
// before anything is removed.
STDAPI DllUnregisterServer()
{
    char path[MAX_PATH];
    VRK_RETURN_IF_FAILED(ModuleFilePath(g_module.Instance(), path));
    OtherArchitectureRegistration other;
    other.Read(g_module, kProgIds);
    UnregisterObjectMapClasses(g_module);
    UnregisterTypeLibrary(g_module.Instance());
    other.Restore();
    return S_OK;
}
