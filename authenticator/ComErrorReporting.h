// ComErrorReporting.h: turns a failure into the HRESULT that a COM operation returns
// plus the error information that it leaves on the calling thread.
#pragma once

#include "Common/Utility/VRKException.h"

#include <windows.h>

namespace Veyrak
{

// The one fallback description.
extern const char kUnknownErrorText[];

// Leaves error information (GUID iid, the class's ProgID as source, the description)
// on the calling thread and returns hr, or DISP_E_EXCEPTION when hr is 0. A null
// description stands for string resource 0 of the host executable ("Unknown Error"
// when it has none), and then an hr of 0 becomes 0x80040000.
HRESULT SetComErrorInfo(REFCLSID clsid, LPCOLESTR description, REFIID iid, HRESULT hr);

// SetComErrorInfo for narrow text in the ANSI code page; a null text is a null description.
HRESULT ReportComError(REFCLSID clsid, const char* text, REFIID iid, HRESULT hr);

// The system's message for hr in the system's default language, exactly as given,
// or "Unknown Error" when the system has none.
vrkstring SystemErrorText(HRESULT hr);

} // namespace Veyrak
