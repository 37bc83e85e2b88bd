// SignedInstance.cpp: creation of the maker's outside components behind an integrity check.
#include "authenticator/SignedInstance.h"

#include "Common/Utility/Result.h"

#include <objbase.h>

namespace Veyrak
{

HRESULT CheckComponentIntegrity(REFCLSID)
{
    // A debugged process could inspect or redirect a component's answers.
    return ::IsDebuggerPresent() ? E_ACCESSDENIED : S_OK;
}

HRESULT CreateSignedInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object, void*)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    VRK_RETURN_IF_FAILED(CheckComponentIntegrity(clsid));
    return ::CoCreateInstance(clsid, outer, context, iid, object);
}

} // namespace Veyrak
