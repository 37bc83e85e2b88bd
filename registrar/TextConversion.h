// TextConversion.h: wide to ANSI code page conversion into COM task memory.
#pragma once

#include "Common/Utility/UniqueResource.h"

#include <windows.h>

namespace Veyrak
{

// Converts the zero-terminated wide text to a zero-terminated ANSI text held by `out`.
// E_OUTOFMEMORY when no memory can be had, HRESULT_FROM_WIN32 of the conversion's failure otherwise.
HRESULT WideToAnsi(LPCWSTR text, UniqueTaskMemory& out);

} // namespace Veyrak
