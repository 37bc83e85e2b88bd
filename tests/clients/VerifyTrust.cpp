// VerifyTrust.cpp: verify_trust.exe FILE..., the platform's own judgement of each file's
// Authenticode signature: WinVerifyTrust with the generic verification action, no user interface
// and no revocation check. Prints "<HRESULT in hex> <file>" per file; exits 0 once every file was
// judged, whatever the verdicts, and 2 on wrong usage.
#include <windows.h>
#include <softpub.h>
#include <wintrust.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
    {
        std::fprintf(stderr, "usage: verify_trust FILE...\n");
        return 2;
    }
    for (int index = 1; index < argc; ++index)
    {
        WINTRUST_FILE_INFO file = {};
        file.cbStruct = sizeof file;
        file.pcwszFilePath = argv[index];
        WINTRUST_DATA data = {};
        data.cbStruct = sizeof data;
        data.dwUIChoice = WTD_UI_NONE;
        data.fdwRevocationChecks = WTD_REVOKE_NONE;
        data.dwUnionChoice = WTD_CHOICE_FILE;
        data.pFile = &file;
        data.dwStateAction = WTD_STATEACTION_VERIFY;
        GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
        const LONG result = ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
        data.dwStateAction = WTD_STATEACTION_CLOSE;
        ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
        std::printf("0x%08lX %ls\n", static_cast<unsigned long>(result), argv[index]);
    }
    return 0;
}
