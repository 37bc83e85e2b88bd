// RegistryTree.cpp: subtree deletion and key inspection for the script interpreter.
#include "registrar/RegistryTree.h"

#include "Common/Utility/UniqueResource.h"

namespace Veyrak
{

namespace
{
constexpr DWORD kSubkeyNameSize = 256;
constexpr DWORD kValueNameProbeSize = 4096;
} // namespace

LONG DeleteKeyTree(HKEY parent, const char* name)
{
    UniqueHkey key;
    LONG status = ::RegOpenKeyExA(parent, name, 0, KEY_READ | KEY_WRITE, key.put());
    if (status != ERROR_SUCCESS)
        return status;

    // Index 0 each time: every pass removes the subkey it found.
    for (;;)
    {
        char subkey[kSubkeyNameSize];
        DWORD length = kSubkeyNameSize;
        if (::RegEnumKeyExA(key.get(), 0, subkey, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        status = DeleteKeyTree(key.get(), subkey);
        if (status != ERROR_SUCCESS)
            return status;
    }
    key.reset();
    return ::RegDeleteKeyA(parent, name);
}

bool KeyHasSubkeys(HKEY key)
{
    DWORD subkeys = 0;
    if (::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                           nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    return subkeys > 0;
}

bool KeyHasNamedValues(HKEY key)
{
    DWORD values = 0;
    if (::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                           nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    if (values != 1)
        return values > 0;

    // A single value may be the default value, which does not count.
    char name[kValueNameProbeSize];
    DWORD length = kValueNameProbeSize;
    if (::RegEnumValueA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    return name[0] != '\0';
}

} // namespace Veyrak
