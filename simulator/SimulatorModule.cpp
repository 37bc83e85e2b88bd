// SimulatorModule.cpp: vrksimulator.dll's module, its table of creatable classes and its
// registration exports. The frame, its shared exports and the script interpreter are those of
// vrksolauth.dll.
#include "server/ClassFactory.h"
#include "server/ComObject.h"
#include "server/ServerExports.h"
#include "server/ServerModule.h"
#include "simulator/HandleManager.h"
#include "simulator/SimulatorRegistration.h"
#include "simulator/SingleSignOn.h"

using namespace Veyrak;
using namespace Veyrak::Simulator;

ServerModule Veyrak::g_module;

ObjectMapEntry Veyrak::g_objectMap[] = {
    {&CLSID_VeyrakSingleSignOn, &SimulatedSingleSignOn::Register, &ClassFactory::Create,
     &CreateComInstance<SimulatedSingleSignOn>, nullptr},
    {&CLSID_VeyrakHandleManager, &SimulatedHandleManager::Register, &ClassFactory::Create,
     &CreateComInstance<SimulatedHandleManager>, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

STDAPI DllRegisterServer()
{
    return RegisterServer(g_module);
}

STDAPI DllUnregisterServer()
{
    return UnregisterServer(g_module);
}
