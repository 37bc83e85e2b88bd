// ErrorReport.h: a failed call's HRESULT with the error information that came with it,
// gathered from the thread (GetErrorInfo) or from a dispatch call's EXCEPINFO, and printed
// for the administrator.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

namespace Vrkauth
{

struct ErrorReport
{
    HRESULT result = S_OK;
    bool hasErrorInformation = false;
    std::wstring description;
    std::wstring source;
    bool hasInterfaceId = false; // EXCEPINFO carries no interface GUID
    GUID interfaceId = GUID_NULL;
};

// A report of a failure that comes without error information.
ErrorReport ErrorReportWithoutInformation(HRESULT result);

// Takes the thread's pending error information (if any) for a call that returned result.
ErrorReport ErrorReportFromThread(HRESULT result);

// Builds the report from what Invoke wrote for DISP_E_EXCEPTION, running a deferred fill-in
// first. Frees the EXCEPINFO's strings.
ErrorReport ErrorReportFromExceptionInfo(EXCEPINFO& exception);

// Prints "vrkauth: <operation> failed: HRESULT 0x...." and the error information to stderr.
void PrintErrorReport(const char* operation, const ErrorReport& report);

// Text in the console's ANSI code page (Veyrak::WidenAnsi goes the other way).
std::string Narrow(const std::wstring& text);

} // namespace Vrkauth
