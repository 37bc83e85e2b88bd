// SettingsLocation.h: where the substitute components keep their settings. The user
// directory and the rehearsed faults live under one registry key, which the DLL reads at
// every call and the administration command writes.
#pragma once

#include <windows.h>

#include <string>

namespace Veyrak::Simulator
{

// HKEY_LOCAL_MACHINE\SOFTWARE\VEYRAK Corporation\VRKSolutionSimulator
inline constexpr wchar_t kSettingsKeyPath[] = L"SOFTWARE\\VEYRAK Corporation\\VRKSolutionSimulator";
inline constexpr wchar_t kUsersKeyName[] = L"Users";
inline constexpr wchar_t kFaultsKeyName[] = L"Faults";
inline constexpr wchar_t kEnabledValueName[] = L"Enabled";

// A root key and the path of the settings key below it. The components always use Machine();
// tests point the libraries at a scratch key instead.
struct SettingsLocation
{
    HKEY root;
    std::wstring path;

    static SettingsLocation Machine() { return {HKEY_LOCAL_MACHINE, kSettingsKeyPath}; }
    std::wstring Child(const wchar_t* name) const { return path + L"\\" + name; }
};

} // namespace Veyrak::Simulator
