// ComponentSupport.h: what the substitute components' methods share: the boundary that
// keeps exceptions out of COM calls, and BSTR conversion.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <new>
#include <stdexcept>
#include <string>

namespace Veyrak::Simulator
{

// Runs body (returning HRESULT) and turns anything it throws into an HRESULT.
template <typename Body> HRESULT Guarded(Body&& body) noexcept
{
    try
    {
        return body();
    }
    catch (const std::bad_alloc&)
    {
        return E_OUTOFMEMORY;
    }
    catch (const std::exception&)
    {
        return E_FAIL;
    }
    catch (...)
    {
        // Not ours to know, but never allowed to cross into the client: noexcept would
        // end the client's process.
        return E_UNEXPECTED;
    }
}

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
