// GuidText.h: a GUID in its registry form, "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}".
#pragma once

#include <windows.h>
#include <objbase.h>

#include <string>

namespace Veyrak
{

inline std::wstring GuidText(REFGUID guid)
{
    // 38 characters and the terminator; StringFromGUID2 cannot fail with room for them.
    wchar_t text[39] = {};
    ::StringFromGUID2(guid, text, static_cast<int>(sizeof text / sizeof text[0]));
    return text;
}

} // namespace Veyrak
