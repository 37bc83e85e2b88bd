// TextConversion.cpp: wide to ANSI code page conversion into COM task memory.
#include "registrar/TextConversion.h"

#include "Common/Utility/Result.h"

namespace Veyrak
{

HRESULT WideToAnsi(LPCWSTR text, UniqueTaskMemory& out)
{
    out.reset();
    int size = ::WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return LastErrorResult();
    out.reset(::CoTaskMemAlloc(static_cast<SIZE_T>(size)));
    if (!out)
        return E_OUTOFMEMORY;
    if (::WideCharToMultiByte(CP_ACP, 0, text, -1, static_cast<char*>(out.get()), size, nullptr, nullptr) <= 0)
    {
        out.reset();
        return LastErrorResult();
    }
    return S_OK;
}

} // namespace Veyrak
