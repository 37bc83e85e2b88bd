// TextConversion.h: text between the system's ANSI code page and UTF-16, for the platform's
// wide APIs. The forms that neither allocate nor throw serve the paths that must not.
#pragma once

#include "Common/Utility/Result.h"
#include "Common/Utility/UniqueResource.h"

#include <windows.h>

#include <string>

namespace Veyrak
{

// Empty when the text is empty or cannot be converted.
inline std::wstring WidenAnsi(const char* text)
{
    const int count = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (count <= 1)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(count), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], count);
    wide.resize(static_cast<size_t>(count) - 1);
    return wide;
}

// Into a buffer of size characters, terminator included; false (with the last error set) when
// the text does not fit or cannot be converted.
inline bool WidenAnsiInto(const char* text, OLECHAR* buffer, int size)
{
    return ::MultiByteToWideChar(CP_ACP, 0, text, -1, buffer, size) != 0;
}

// As a BSTR; null when the text cannot be converted or no memory is left.
inline UniqueBstr WidenAnsiToBstr(const char* text)
{
    const int count = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    UniqueBstr wide(count > 0 ? ::SysAllocStringLen(nullptr, static_cast<UINT>(count - 1)) : nullptr);
    if (wide && ::MultiByteToWideChar(CP_ACP, 0, text, -1, wide.get(), count) == 0)
        wide.reset();
    return wide;
}

// The zero-terminated wide text as a zero-terminated ANSI text in COM task memory, held by out.
// E_OUTOFMEMORY when no memory can be had, the conversion's own failure otherwise.
inline HRESULT WideToAnsi(LPCWSTR text, UniqueTaskMemory& out)
{
    out.reset();
    const int size = ::WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
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
