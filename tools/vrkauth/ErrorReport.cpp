// ErrorReport.cpp: collecting and printing error information.
#include "ErrorReport.h"

#include "Common/Utility/ComPtr.h"
#include "Common/Utility/GuidText.h"
#include "Common/Utility/UniqueResource.h"

#include <oleauto.h>

#include <cstdio>

namespace Vrkauth
{

namespace
{

std::wstring TakeBstr(BSTR& text)
{
    Veyrak::UniqueBstr owned(text);
    text = nullptr;
    return owned ? std::wstring(owned.get(), ::SysStringLen(owned.get())) : std::wstring();
}

std::string GuidText(const GUID& guid)
{
    return Narrow(Veyrak::GuidText(guid));
}

// The system's own text for a code, without its closing line break; empty when it has none.
std::string SystemText(HRESULT result)
{
    char* buffer = nullptr;
    DWORD length =
        ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, static_cast<DWORD>(result), 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    Veyrak::UniqueLocalMemory owned(buffer);
    std::string text(buffer ? buffer : "", length);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

} // namespace

std::string Narrow(const std::wstring& text)
{
    if (text.empty())
        return {};
    int length =
        ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &result[0], length, nullptr,
                              nullptr);
    return result;
}

ErrorReport ErrorReportWithoutInformation(HRESULT result)
{
    ErrorReport report;
    report.result = result;
    return report;
}

ErrorReport ErrorReportFromThread(HRESULT result)
{
    ErrorReport report = ErrorReportWithoutInformation(result);
    Veyrak::ComPtr<IErrorInfo> info;
    if (::GetErrorInfo(0, info.Put()) != S_OK || !info)
        return report;

    report.hasErrorInformation = true;
    BSTR text = nullptr;
    if (SUCCEEDED(info->GetDescription(&text)))
        report.description = TakeBstr(text);
    if (SUCCEEDED(info->GetSource(&text)))
        report.source = TakeBstr(text);
    report.hasInterfaceId = SUCCEEDED(info->GetGUID(&report.interfaceId));
    return report;
}

ErrorReport ErrorReportFromExceptionInfo(EXCEPINFO& exception)
{
    if (exception.pfnDeferredFillIn)
        exception.pfnDeferredFillIn(&exception);

    ErrorReport report;
    // An exception reported by a 16-bit code carries no HRESULT of its own.
    report.result = exception.scode != 0 ? exception.scode : MAKE_HRESULT(SEVERITY_ERROR, FACILITY_DISPATCH, 0);
    report.hasErrorInformation = true;
    report.description = TakeBstr(exception.bstrDescription);
    report.source = TakeBstr(exception.bstrSource);
    Veyrak::UniqueBstr helpFile(exception.bstrHelpFile);
    exception.bstrHelpFile = nullptr;
    return report;
}

void PrintErrorReport(const char* operation, const ErrorReport& report)
{
    std::fprintf(stderr, "vrkauth: %s failed: HRESULT 0x%08lX\n", operation, static_cast<unsigned long>(report.result));
    const std::string systemText = SystemText(report.result);
    if (!systemText.empty())
        std::fprintf(stderr, "  system text: %s\n", systemText.c_str());
    if (!report.hasErrorInformation)
    {
        std::fprintf(stderr, "  no error information\n");
        return;
    }
    std::fprintf(stderr, "  description: %s\n", Narrow(report.description).c_str());
    std::fprintf(stderr, "  source:      %s\n", report.source.empty() ? "(none)" : Narrow(report.source).c_str());
    if (report.hasInterfaceId)
        std::fprintf(stderr, "  interface:   %s\n", GuidText(report.interfaceId).c_str());
    else
        std::fprintf(stderr, "  interface:   (not reported)\n");
}

} // namespace Vrkauth
