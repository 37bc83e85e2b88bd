// MachineClasses.h: in-process servers registered for classes in the machine's classes,
// HKEY_LOCAL_MACHINE\SOFTWARE\Classes of this process's registry view, where COM finds them and
// where the server's integrity check reads the maker's components. For tests and benchmarks;
// reports failures, its caller judges them.
#pragma once

#include "Common/Utility/GuidText.h"

#include <windows.h>

#include <string>

namespace VrkTest
{

inline std::string MachineClassKey(REFCLSID clsid)
{
    const std::wstring text = Veyrak::GuidText(clsid);
    return "SOFTWARE\\Classes\\CLSID\\" + std::string(text.begin(), text.end());
}

// The class key with InprocServer32 = file (stored as type) and ThreadingModel "Both".
inline LSTATUS RegisterInprocServer(REFCLSID clsid, const std::wstring& file, DWORD type = REG_SZ)
{
    const std::wstring server = L"SOFTWARE\\Classes\\CLSID\\" + Veyrak::GuidText(clsid) + L"\\InprocServer32";
    const wchar_t both[] = L"Both";
    LSTATUS status = ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, server.c_str(), nullptr, type, file.c_str(),
                                       static_cast<DWORD>((file.size() + 1) * sizeof(wchar_t)));
    if (status == ERROR_SUCCESS)
        status = ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, server.c_str(), L"ThreadingModel", REG_SZ, both, sizeof both);
    return status;
}

inline void RemoveClass(REFCLSID clsid)
{
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, MachineClassKey(clsid).c_str());
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, MachineClassKey(clsid).c_str());
}

} // namespace VrkTest
