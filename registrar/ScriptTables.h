// ScriptTables.h: the constant tables of the registration script language (hives, keywords,
// value types, protected key names) and the character-level tests the parser shares.
#pragma once

#include <windows.h>

namespace Veyrak
{

// Sizes of the parser's buffers, terminators included.
constexpr size_t kTokenSize = 4096;
constexpr size_t kValueNameSize = 260;
constexpr size_t kRememberedKeyNameSize = 260;
constexpr size_t kVariableNameMaxLength = 31;

extern const char kForceRemoveKeyword[];
extern const char kNoRemoveKeyword[];
extern const char kDeleteKeyword[];
extern const char kValKeyword[];

// The predefined root key for a hive name, or nullptr when the name is not a hive.
HKEY HiveFromName(const char* name);

// The registry type written for a type token (REG_SZ, REG_DWORD, REG_BINARY), or REG_NONE.
DWORD TypeFromName(const char* name);

// Whole-token, case-insensitive keyword match; quoting makes no difference.
bool IsKeyword(const char* token, const char* keyword);

// Keys that forced removals never delete ("CLSID", "TYPELIB", any case).
bool IsProtectedKeyName(const char* name);

// True for a name that a script may give a key: not empty (an empty name would stand for the
// parent key itself, so that a removal took the parent and everything below it) and without a
// backslash (scanned by whole characters), which would reach into other keys.
bool IsKeyName(const char* text);

// Exactly tab, line feed, carriage return and space.
inline bool IsBlank(char c)
{
    return c == '\t' || c == '\n' || c == '\r' || c == ' ';
}

} // namespace Veyrak
