// TrustFunctions.h: the platform's signature and certificate functions, taken from the system
// folder's wintrust.dll and crypt32.dll when the first file is verified. Not imported: the server
// then loads them only where a component is checked, and an x86 DLL that linked their import
// libraries would export their DllRegisterServer in place of its own.
#pragma once

#include <windows.h>
#include <wincrypt.h>
#include <wintrust.h>

namespace Veyrak
{

struct TrustFunctions
{
    decltype(&::WinVerifyTrust) winVerifyTrust;
    decltype(&::WTHelperProvDataFromStateData) providerData;
    decltype(&::WTHelperGetProvSignerFromChain) signerFromChain;
    decltype(&::CryptHashCertificate2) hashCertificate;
    decltype(&::CertGetNameStringW) nameString;
};

// The functions, loaded once per process by full path from the system folder and kept; null when
// either library or any function is missing (then nothing can be verified).
const TrustFunctions* LoadTrustFunctions();

} // namespace Veyrak
