// SimulatorTestSupport.h: vrksimulator.dll through its exports, its settings written as an administrator
// would, and a fixture that gives each test empty simulator settings and no simulator registration.
#pragma once

#include "support/ServerDll.h"
#include "support/TestSupport.h"

#include "Common/Utility/ComPtr.h"
#include "Common/Utility/UniqueResource.h"

#include "VeyrakComponents.h"

#include <string>

namespace VrkTest
{

using Veyrak::ComPtr;
using Veyrak::UniqueBstr;

// Under HKEY_LOCAL_MACHINE, as the DLL reads it; the class keys under HKEY_CLASSES_ROOT.
inline constexpr char kSimulatorKeyPath[] = "SOFTWARE\\VEYRAK Corporation\\VRKSolutionSimulator";
inline constexpr char kSingleSignOnClassKey[] = "CLSID\\{2D070527-5F3F-4A0C-B426-2E598F6D470D}";
inline constexpr char kHandleManagerClassKey[] = "CLSID\\{5F3D5012-F8A8-402F-97CF-927FE49BA9ED}";

inline UniqueBstr Bstr(const wchar_t* text)
{
    return UniqueBstr(text ? ::SysAllocString(text) : nullptr);
}

// vrksimulator.dll, loaded from beside the test program.
class SimulatorDll : public ServerDll
{
public:
    SimulatorDll() : ServerDll("vrksimulator.dll") {}
    // Through the class's factory, which is released again.
    HRESULT Create(REFCLSID clsid, REFIID iid, void** object) const
    {
        ComPtr<IClassFactory> factory;
        HRESULT result = GetClassObject(clsid, IID_IClassFactory, factory.PutVoid());
        return FAILED(result) ? result : factory->CreateInstance(nullptr, iid, object);
    }
};

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
};

// The simulator's own settings, written as an administrator would.
inline std::string SettingsKey(const std::string& child)
{
    return std::string(kSimulatorKeyPath) + "\\" + child;
}
inline void SetFault(const std::string& operation, HRESULT result)
{
    WriteDword(HKEY_LOCAL_MACHINE, SettingsKey("Faults"), operation, static_cast<DWORD>(result));
}
inline void ClearFaults()
{
    DeleteTree(HKEY_LOCAL_MACHINE, SettingsKey("Faults"));
}
// "Enabled" as given: any REG_DWORD other than 0 enables.
inline void AddUser(const std::string& domain, const std::string& user, DWORD enabled)
{
    WriteDword(HKEY_LOCAL_MACHINE, SettingsKey("Users\\" + domain + "\\" + user), "Enabled", enabled);
}

} // namespace VrkTest
