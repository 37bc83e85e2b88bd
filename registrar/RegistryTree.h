// RegistryTree.h: the registry walks of the script interpreter: deleting a whole subtree and
// the two questions that decide whether unregistering may remove a key.
#pragma once

#include <windows.h>

namespace Veyrak
{

// Deletes the named key under the parent with everything below it. Returns the platform's
// error code, 0 on success; on a failure whatever was deleted so far stays deleted.
LONG DeleteKeyTree(HKEY parent, const char* name);

// True when the key has at least one subkey; false also when the key cannot be queried.
bool KeyHasSubkeys(HKEY key);

// True when the key holds a value other than its default value.
bool KeyHasNamedValues(HKEY key);

} // namespace Veyrak
