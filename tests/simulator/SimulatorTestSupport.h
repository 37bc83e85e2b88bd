// SimulatorTestSupport.h: vrksimulator.dll, with no settings or registration around each test.
#pragma once

#include "support/TestSupport.h"

#include "VeyrakComponents.h"

#include <string>

namespace VrkTest
{

// Under HKEY_LOCAL_MACHINE, as the DLL reads it; the class keys under HKEY_CLASSES_ROOT.
inline constexpr char kSimulatorKeyPath[] = "SOFTWARE\\VEYRAK Corporation\\VRKSolutionSimulator";
inline constexpr char kSingleSignOnClassKey[] = "CLSID\\{2D070527-5F3F-4A0C-B426-2E598F6D470D}";
inline constexpr char kHandleManagerClassKey[] = "CLSID\\{5F3D5012-F8A8-402F-97CF-927FE49BA9ED}";

class SimulatorTest : public ::testing::Test
{
protected:
    void SetUp() override { RemoveEverything(); }
    void TearDown() override { RemoveEverything(); }
    static void RemoveEverything()
    {
        for (const char* path : {kSingleSignOnClassKey, kHandleManagerClassKey})
            DeleteTree(HKEY_CLASSES_ROOT, path);
        DeleteTree(HKEY_LOCAL_MACHINE, kSimulatorKeyPath);
    }

    ServerDll m_dll{"vrksimulator.dll"};
};

inline std::string SettingsKey(const std::string& child)
{
    return std::string(kSimulatorKeyPath) + "\\" + child;
}
// "Enabled" as given: any REG_DWORD other than 0 enables.
inline void AddUser(const std::string& domain, const std::string& user, DWORD enabled)
{
    WriteValue(HKEY_LOCAL_MACHINE, SettingsKey("Users\\" + domain + "\\" + user), "Enabled", REG_DWORD, &enabled,
               sizeof enabled);
}

} // namespace VrkTest
