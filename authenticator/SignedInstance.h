// SignedInstance.h: creation of the maker's outside components behind an integrity check.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace Veyrak
{

// The component integrity check applied before a component is created. Refuses with
// E_ACCESSDENIED while a debugger is attached to the process; S_OK otherwise.
// Kept apart so that a stronger check can replace it.
HRESULT CheckComponentIntegrity(REFCLSID clsid);

// CoCreateInstance for the first five arguments, after CheckComponentIntegrity.
// reserved must be null. On failure *object is null.
HRESULT CreateSignedInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object, void* reserved);

} // namespace Veyrak
