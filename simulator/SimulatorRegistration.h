// SimulatorRegistration.h: registration of the substitute components, guarded so that it
// never displaces the real product. A class whose registration belongs to another file
// (its InprocServer32 names a different file, compared as full paths case-insensitively,
// or it has a LocalServer32) is left alone in both directions.
#pragma once

#include "server/ServerModule.h"

#include <windows.h>

#include <string>

namespace Veyrak::Simulator
{

// What DllRegisterServer returns, having written nothing, when a class belongs to another
// file; and what DllUnregisterServer returns after removing only what is its own.
inline constexpr HRESULT kRegisteredToAnotherFile = HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);

enum class ClassOwner
{
    Nobody,      // no in-process or local server is registered for the class
    ThisModule,  // InprocServer32 names modulePath
    AnotherFile, // anything that another file has registered
};

ClassOwner FindClassOwner(const CLSID& classId, const std::wstring& modulePath);

// Whether two file paths name the same file: full, long forms compared case-insensitively.
bool SameFile(const std::wstring& left, const std::wstring& right);

// Runs every class's registration hook once no class belongs to another file. A failing
// hook is returned after the classes already registered are unregistered again.
HRESULT RegisterServer(const ServerModule& module);
// Runs the unregistering hook of each class that this module registered.
HRESULT UnregisterServer(const ServerModule& module);

} // namespace Veyrak::Simulator
