// TextConversion.h: ANSI text (the system code page) as UTF-16, for the platform's wide APIs.
#pragma once

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

} // namespace Veyrak
