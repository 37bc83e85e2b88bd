// EarlyBoundClient.cpp: a C++ client that asks vrksolauth both questions through the
// dual interface's own slots and prints each answer or failure with its error information.
//   EarlyBoundClient [DOMAIN USER]
// It creates the object by CLSID when the server is registered, and otherwise loads
// vrksolauth.dll from beside itself and asks its class factory directly.
#include "vrksolauth.h"

#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <string>

namespace
{

// The sample builds from the shipped header alone, so it carries its own small helpers.
std::wstring Widen(const char* text)
{
    int length = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring result(static_cast<size_t>(length > 0 ? length - 1 : 0), L'\0');
    if (length > 1)
        ::MultiByteToWideChar(CP_ACP, 0, text, -1, &result[0], length);
    return result;
}

void PrintFailure(const char* what, HRESULT result)
{
    std::printf("%s failed: HRESULT 0x%08lX\n", what, static_cast<unsigned long>(result));
    IErrorInfo* info = nullptr;
    if (::GetErrorInfo(0, &info) != S_OK || !info)
        return;
    BSTR description = nullptr, source = nullptr;
    info->GetDescription(&description);
    info->GetSource(&source);
    std::printf("  description: %ls\n  source:      %ls\n", description ? description : L"",
                source ? source : L"(none)");
    ::SysFreeString(description);
    ::SysFreeString(source);
    info->Release();
}

HRESULT CreateFromDllBesideUs(IVRKsolutionAuthenticator1** object)
{
    char path[MAX_PATH];
    DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dll(path, length);
    dll = dll.substr(0, dll.find_last_of("\\/") + 1) + "vrksolauth.dll";
    HMODULE module = ::LoadLibraryA(dll.c_str());
    if (!module)
        return HRESULT_FROM_WIN32(::GetLastError());
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto getClassObject =
        reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(::GetProcAddress(module, "DllGetClassObject")));
    if (!getClassObject)
        return HRESULT_FROM_WIN32(::GetLastError());
    IClassFactory* factory = nullptr;
    HRESULT result =
        getClassObject(CLSID_VRKsolutionAuthenticator, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(result))
        return result;
    result = factory->CreateInstance(nullptr, IID_IVRKsolutionAuthenticator1, reinterpret_cast<void**>(object));
    factory->Release();
    return result; // the DLL stays loaded for the rest of the process
}

} // namespace

int main(int argc, char** argv)
{
    const std::wstring domain = Widen(argc > 2 ? argv[1] : "CORP");
    const std::wstring user = Widen(argc > 2 ? argv[2] : "alice");

    ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IVRKsolutionAuthenticator1* authenticator = nullptr;
    HRESULT result = ::CoCreateInstance(CLSID_VRKsolutionAuthenticator, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_IVRKsolutionAuthenticator1, reinterpret_cast<void**>(&authenticator));
    if (result == REGDB_E_CLASSNOTREG)
        result = CreateFromDllBesideUs(&authenticator);
    if (FAILED(result))
    {
        PrintFailure("Creating the authenticator", result);
        ::CoUninitialize();
        return 2;
    }

    int exitCode = 0;
    VARIANT_BOOL installed = VARIANT_FALSE;
    result = authenticator->IsInstalled(&installed);
    if (FAILED(result))
    {
        PrintFailure("IsInstalled", result);
        exitCode = 2;
    }
    else
        std::printf("IsInstalled: %s\n", installed ? "yes" : "no");

    BSTR domainText = ::SysAllocString(domain.c_str());
    BSTR userText = ::SysAllocString(user.c_str());
    VARIANT_BOOL valid = VARIANT_FALSE;
    result = authenticator->Authenticate(domainText, userText, &valid);
    if (FAILED(result))
    {
        PrintFailure("Authenticate", result);
        exitCode = 2;
    }
    else
        std::printf("Authenticate(%ls\\%ls): %s\n", domain.c_str(), user.c_str(), valid ? "valid" : "not valid");
    ::SysFreeString(domainText);
    ::SysFreeString(userText);

    authenticator->Release();
    ::CoUninitialize();
    return exitCode;
}
