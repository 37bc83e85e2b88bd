// TrustFunctions.cpp: wintrust.dll and crypt32.dll from the system folder, once.
#include "integrity/TrustFunctions.h"

#include <mutex>
#include <string>

namespace Veyrak
{

namespace
{

// By full path: the system folder is the administrators', unlike the folders a search visits.
HMODULE LoadSystemLibrary(const wchar_t* name)
{
    wchar_t folder[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    return ::LoadLibraryW((std::wstring(folder, length) + L"\\" + name).c_str());
}

template <typename Function> bool Take(HMODULE module, const char* name, Function& function)
{
    function = module ? reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name))) : nullptr;
    return function != nullptr;
}

} // namespace

const TrustFunctions* LoadTrustFunctions()
{
    // Kept loaded for the process: a module may not be freed while the loader unloads this one.
    static TrustFunctions functions;
    static bool complete = false;
    static std::once_flag once;
    std::call_once(once,
                   []
                   {
                       const HMODULE wintrust = LoadSystemLibrary(L"wintrust.dll");
                       const HMODULE crypt32 = LoadSystemLibrary(L"crypt32.dll");
                       complete = Take(wintrust, "WinVerifyTrust", functions.winVerifyTrust) &&
                                  Take(wintrust, "WTHelperProvDataFromStateData", functions.providerData) &&
                                  Take(wintrust, "WTHelperGetProvSignerFromChain", functions.signerFromChain) &&
                                  Take(crypt32, "CryptHashCertificate2", functions.hashCertificate) &&
                                  Take(crypt32, "CertGetNameStringW", functions.nameString);
                   });
    return complete ? &functions : nullptr;
}

} // namespace Veyrak
