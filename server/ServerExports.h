// ServerExports.h: what each in-process server of the project gives the frame's shared
// exports (DllMain, DllGetClassObject, DllCanUnloadNow in server/ServerExports.cpp): its one
// module and its table of creatable classes. The registration exports stay with each server,
// because what registering means differs between them.
#pragma once

#include "server/ServerModule.h"

namespace Veyrak
{

ServerModule& ThisServerModule();
ObjectMapEntry* ThisServerObjectMap();

} // namespace Veyrak
