// ComErrorReporting.cpp: the thread's COM error information for a failed operation.
#include "authenticator/ComErrorReporting.h"

#include "Common/Utility/ComPtr.h"
#include "Common/Utility/TextConversion.h"
#include "Common/Utility/UniqueResource.h"

#include <oleauto.h>

#include <string>

namespace Veyrak
{

const char kUnknownErrorText[] = "Unknown Error";

namespace
{

constexpr int kResourceTextLength = 1024;
constexpr DWORD kSystemMessageFlags =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;

} // namespace

HRESULT SetComErrorInfo(REFCLSID clsid, LPCOLESTR description, REFIID iid, HRESULT hr)
{
    std::wstring resourceText;
    if (!description)
    {
        char buffer[kResourceTextLength] = {};
        if (::LoadStringA(::GetModuleHandleA(nullptr), 0, buffer, kResourceTextLength) == 0)
            ::lstrcpynA(buffer, kUnknownErrorText, kResourceTextLength);
        resourceText = WidenAnsi(buffer);
        description = resourceText.c_str();
        if (hr == 0)
            hr = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0);
    }

    ComPtr<ICreateErrorInfo> creator;
    if (SUCCEEDED(::CreateErrorInfo(creator.Put())) && creator)
    {
        creator->SetGUID(iid);
        UniqueTaskString progId;
        ::ProgIDFromCLSID(clsid, progId.put());
        if (progId)
            creator->SetSource(progId.get());
        creator->SetDescription(const_cast<LPOLESTR>(description));

        ComPtr<IErrorInfo> info;
        if (SUCCEEDED(creator.QueryInterface(IID_IErrorInfo, info)) && info)
            ::SetErrorInfo(0, info.Get());
    }
    return hr == 0 ? DISP_E_EXCEPTION : hr;
}

HRESULT ReportComError(REFCLSID clsid, const char* text, REFIID iid, HRESULT hr)
{
    if (!text)
        return SetComErrorInfo(clsid, nullptr, iid, hr);
    const std::wstring wide = WidenAnsi(text);
    return SetComErrorInfo(clsid, wide.c_str(), iid, hr);
}

vrkstring SystemErrorText(HRESULT hr)
{
    char* message = nullptr;
    DWORD length =
        ::FormatMessageA(kSystemMessageFlags, nullptr, static_cast<DWORD>(hr),
                         MAKELANGID(LANG_NEUTRAL, SUBLANG_SYS_DEFAULT), reinterpret_cast<LPSTR>(&message), 0, nullptr);
    UniqueLocalMemory owner(message);
    vrkstring text;
    if (length != 0 && message)
        text.assign(message, length);
    if (text.empty())
        text = kUnknownErrorText;
    return text;
}

} // namespace Veyrak
