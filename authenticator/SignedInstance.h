// SignedInstance.h: creation of the maker's outside components behind the component integrity check.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace Veyrak
{

// CoCreateInstance for the first five arguments, behind the component integrity check;
// reserved must be null. Refuses (creating nothing) while a debugger is attached (E_ACCESSDENIED),
// and whatever the check refuses (integrity/ComponentCheck.h lists the results); creates the
// component only through the class context that reaches the verified file, and refuses an
// in-process object that does not live in that file (VRK_E_COMPONENT_NOT_VERIFIED_FILE), releasing
// it. Each file is verified once per process. Throws nothing. On failure *object is null.
HRESULT CreateSignedInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object, void* reserved);

// The check for an object that a created component handed out (the primary user application):
// S_OK for one in a file that passes the check, or for COM's proxy of an object elsewhere.
HRESULT VerifyHandedOutComponent(IUnknown* object);

} // namespace Veyrak
