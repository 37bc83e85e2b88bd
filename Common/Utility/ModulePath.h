// ModulePath.h: a module's own file path, refused when the platform had to cut it.
#pragma once

#include "Common/Utility/Result.h"

#include <windows.h>

namespace Veyrak
{

// What a path that fills the buffer is refused with: registration would otherwise write the
// cut path (which may still load, so nothing else notices) over a working registration.
constexpr HRESULT kModulePathTooLong = HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);

// Writes the path of module (the process's executable for null) into path. A path that fills
// the buffer has been cut by GetModuleFileNameA, and not always terminated: it is refused with
// kModulePathTooLong and path is left empty. On any failure path holds the empty text.
template <DWORD Size> HRESULT ModuleFilePath(HMODULE module, char (&path)[Size])
{
    path[0] = '\0';
    const DWORD length = ::GetModuleFileNameA(module, path, Size);
    if (length == 0)
        return LastErrorResult();
    if (length >= Size)
    {
        path[0] = '\0';
        return kModulePathTooLong;
    }
    return S_OK;
}

} // namespace Veyrak
