// SimulatorRegistry.h: the few registry operations that the user directory and the fault
// settings share, over wide key paths and owned key handles.
#pragma once

#include "Common/Utility/UniqueResource.h"

#include <windows.h>

#include <string>
#include <vector>

namespace Veyrak::Simulator
{

// The result of every "no such user, domain or fault" case.
inline constexpr HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

// Opens root\path; on failure the key stays empty and the platform's error code is returned.
LONG OpenKey(HKEY root, const std::wstring& path, REGSAM access, UniqueHkey& key);
// Opens or creates root\path with every key on the way.
LONG CreateKey(HKEY root, const std::wstring& path, UniqueHkey& key);

// The names of the key's subkeys, in the registry's order. Stops at the first failure.
std::vector<std::wstring> SubkeyNames(HKEY key);
bool HasSubkeys(HKEY key);

// A REG_DWORD value; false when it is missing or of another type.
bool ReadDword(HKEY key, const wchar_t* name, DWORD& value);
LONG WriteDword(HKEY key, const wchar_t* name, DWORD value);

// Whether text can be one key name: not empty, at most 255 characters, no backslash and no
// embedded zero.
bool IsValidKeyName(const std::wstring& text);

// Case-insensitive ordering and equality, as the registry compares key and value names.
bool LessNoCase(const std::wstring& left, const std::wstring& right);
bool EqualNoCase(const std::wstring& left, const std::wstring& right);

std::wstring HResultToHex(HRESULT hr);

} // namespace Veyrak::Simulator
