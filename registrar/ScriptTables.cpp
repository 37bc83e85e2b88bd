// ScriptTables.cpp: the constant tables of the registration script language.
#include "registrar/ScriptTables.h"

namespace Veyrak
{

const char kForceRemoveKeyword[] = "ForceRemove";
const char kNoRemoveKeyword[] = "NoRemove";
const char kDeleteKeyword[] = "Delete";
const char kValKeyword[] = "Val";

namespace
{

struct HiveEntry
{
    const char* name;
    HKEY root;
};

// Searched in this order; the short names come first.
const HiveEntry kHives[] = {
    {"HKCR", HKEY_CLASSES_ROOT},
    {"HKCU", HKEY_CURRENT_USER},
    {"HKLM", HKEY_LOCAL_MACHINE},
    {"HKU", HKEY_USERS},
    {"HKPD", HKEY_PERFORMANCE_DATA},
    {"HKDD", HKEY_DYN_DATA},
    {"HKCC", HKEY_CURRENT_CONFIG},
    {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"HKEY_USERS", HKEY_USERS},
    {"HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA},
    {"HKEY_DYN_DATA", HKEY_DYN_DATA},
    {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
};

struct TypeEntry
{
    const char* name;
    DWORD type;
};

const TypeEntry kTypes[] = {
    {"S", REG_SZ},
    {"D", REG_DWORD},
    {"B", REG_BINARY},
};

const char* const kProtectedKeyNames[] = {"CLSID", "TYPELIB"};

} // namespace

HKEY HiveFromName(const char* name)
{
    for (const HiveEntry& hive : kHives)
    {
        if (::lstrcmpiA(name, hive.name) == 0)
            return hive.root;
    }
    return nullptr;
}

DWORD TypeFromName(const char* name)
{
    for (const TypeEntry& entry : kTypes)
    {
        if (::lstrcmpiA(name, entry.name) == 0)
            return entry.type;
    }
    return REG_NONE;
}

bool IsKeyword(const char* token, const char* keyword)
{
    return ::lstrcmpiA(token, keyword) == 0;
}

bool IsProtectedKeyName(const char* name)
{
    for (const char* protectedName : kProtectedKeyNames)
    {
        if (::lstrcmpiA(name, protectedName) == 0)
            return true;
    }
    return false;
}

bool IsKeyName(const char* text)
{
    if (!*text)
        return false;
    for (const char* cursor = text; *cursor; cursor = ::CharNextA(cursor))
    {
        if (*cursor == '\\')
            return false;
    }
    return true;
}

} // namespace Veyrak
