// ComponentSupport.h: what the substitute components' methods share: the boundary that keeps
// exceptions out of COM calls (from the toolbox), and BSTR conversion.
#pragma once

#include "Common/Utility/Result.h"

#include <windows.h>
#include <oleauto.h>

#include <new>
#include <stdexcept>
#include <string>

namespace Veyrak::Simulator
{

// A null BSTR reads as empty; embedded zeros are kept.
inline std::wstring FromBstr(BSTR text)
{
    return text ? std::wstring(text, ::SysStringLen(text)) : std::wstring();
}

// A new BSTR for the caller, or E_OUTOFMEMORY with *out null.
inline HRESULT ToBstr(const std::wstring& text, BSTR* out)
{
    *out = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

} // namespace Veyrak::Simulator
