// ServerExports.h: what each in-process server of the project gives the frame's shared
// exports (DllMain, DllGetClassObject, DllCanUnloadNow in server/ServerExports.cpp): its one
// module and its table of creatable classes. The registration exports stay with each server,
// because what registering means differs between them.
#pragma once

#include "server/ServerModule.h"

namespace Veyrak
{

// Defined in each server's module file. Objects rather than functions that return them, so
// that the exports reach them without a call into another file: DllGetClassObject runs on
// every activation of a class, and its whole cost is meant to be one table lookup.
extern ServerModule g_module;
extern ObjectMapEntry g_objectMap[];

} // namespace Veyrak
