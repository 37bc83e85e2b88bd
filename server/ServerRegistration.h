// ServerRegistration.h: what DllRegisterServer and DllUnregisterServer do: each class's
// registration hook, then the type library carried by the module.
#pragma once

#include "server/ServerModule.h"

#include <windows.h>
#include <oaidl.h>

namespace Veyrak
{

// Runs every class's registration hook in order; the first failure is returned at once.
HRESULT RegisterObjectMapClasses(ServerModule& module);
// Runs every class's hook in the unregistering direction, ignoring failures.
void UnregisterObjectMapClasses(ServerModule& module);

// Registers the module's type library with its folder as help directory.
HRESULT RegisterTypeLibrary(HINSTANCE module);
// The same for the type library of another server file, of either architecture (the library is
// read as data), registered for the platform that the library names.
HRESULT RegisterServerFileTypeLibrary(const char* serverPath);
// The LIBID of the type library that a server file carries (or the ".tlb" file beside it).
HRESULT ServerFileLibraryId(const char* serverPath, GUID& libraryId);
// Unregisters it; the unregistration's own result is not reported.
HRESULT UnregisterTypeLibrary(HINSTANCE module);

} // namespace Veyrak
