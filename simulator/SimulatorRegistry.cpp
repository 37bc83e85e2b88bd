// SimulatorRegistry.cpp: registry helpers of the substitute components.
#include "simulator/SimulatorRegistry.h"

#include <cwchar>

namespace Veyrak::Simulator
{

LONG OpenKey(HKEY root, const std::wstring& path, REGSAM access, UniqueHkey& key)
{
    return ::RegOpenKeyExW(root, path.c_str(), 0, access, key.put());
}

LONG CreateKey(HKEY root, const std::wstring& path, UniqueHkey& key)
{
    return ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                             key.put(), nullptr);
}

std::vector<std::wstring> SubkeyNames(HKEY key)
{
    std::vector<std::wstring> names;
    wchar_t name[256];
    for (DWORD index = 0;; ++index)
    {
        DWORD length = static_cast<DWORD>(sizeof name / sizeof name[0]);
        if (::RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    return names;
}

bool HasSubkeys(HKEY key)
{
    DWORD count = 0;
    if (::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                           nullptr) != ERROR_SUCCESS)
        return false;
    return count > 0;
}

bool ReadDword(HKEY key, const wchar_t* name, DWORD& value)
{
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof data;
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS)
        return false;
    if (type != REG_DWORD || size != sizeof data)
        return false;
    value = data;
    return true;
}

LONG WriteDword(HKEY key, const wchar_t* name, DWORD value)
{
    return ::RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

bool IsValidKeyName(const std::wstring& text)
{
    return !text.empty() && text.size() <= 255 && text.find_first_of(std::wstring(L"\\\0", 2)) == std::wstring::npos;
}

namespace
{
int CompareNoCase(const std::wstring& left, const std::wstring& right)
{
    // Ordinal comparison after upper-casing, as the registry matches names.
    int result = ::CompareStringOrdinal(left.c_str(), static_cast<int>(left.size()), right.c_str(),
                                        static_cast<int>(right.size()), TRUE);
    return result - CSTR_EQUAL;
}
} // namespace

bool LessNoCase(const std::wstring& left, const std::wstring& right)
{
    return CompareNoCase(left, right) < 0;
}

bool EqualNoCase(const std::wstring& left, const std::wstring& right)
{
    return CompareNoCase(left, right) == 0;
}

std::wstring HResultToHex(HRESULT hr)
{
    wchar_t text[16];
    std::swprintf(text, sizeof text / sizeof text[0], L"0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

} // namespace Veyrak::Simulator
