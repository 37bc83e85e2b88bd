// SimulatorTestSupport.h: vrksimulator.dll through its exports, registry writers, and a fixture
// that gives each test empty simulator settings and no simulator registration.
#pragma once

#include "support/TestSupport.h"

#include "Common/Utility/ComPtr.h"
#include "Common/Utility/UniqueResource.h"
#include "authenticator/VeyrakComponents.h"

#include <string>

namespace VrkTest
{

using Veyrak::ComPtr;
using Veyrak::UniqueBstr;

extern const char kSimulatorKeyPath[];      // under HKEY_LOCAL_MACHINE, as the DLL reads it
extern const char kSingleSignOnClassKey[];  // under HKEY_CLASSES_ROOT
extern const char kHandleManagerClassKey[]; // under HKEY_CLASSES_ROOT

inline UniqueBstr Bstr(const wchar_t* text)
{
    return UniqueBstr(text ? ::SysAllocString(text) : nullptr);
}

// Loaded from beside the test program; a failed load fails the test and every call gives E_UNEXPECTED.
class SimulatorDll
{
public:
    SimulatorDll();
    SimulatorDll(const SimulatorDll&) = delete;
    SimulatorDll& operator=(const SimulatorDll&) = delete;
    ~SimulatorDll() { ::FreeLibrary(m_module); }

    HRESULT CanUnloadNow() const { return Call("DllCanUnloadNow"); }
    HRESULT RegisterServer() const { return Call("DllRegisterServer"); }
    HRESULT UnregisterServer() const { return Call("DllUnregisterServer"); }
    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object) const;
    // Through the class's factory, which is released again.
    HRESULT Create(REFCLSID clsid, REFIID iid, void** object) const;
    static std::string Path() { return ProgramDirectory() + "vrksimulator.dll"; }

private:
    HRESULT Call(const char* name) const;
    HMODULE m_module;
};

class SimulatorTest : public ::testing::Test
{
protected:
    void SetUp() override { RemoveEverything(); }
    void TearDown() override { RemoveEverything(); }
    static void RemoveEverything();
};

// Create root\path and set a value there (the default value for an empty name).
void WriteValue(HKEY root, const std::string& path, const std::string& name, DWORD type, const void* data, DWORD size);
inline void WriteDword(HKEY root, const std::string& path, const std::string& name, DWORD value)
{
    WriteValue(root, path, name, REG_DWORD, &value, sizeof value);
}
inline void WriteString(HKEY root, const std::string& path, const std::string& name, const std::string& text)
{
    WriteValue(root, path, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

// The simulator's own settings, written as an administrator would.
inline void SetFault(const std::string& operation, HRESULT result)
{
    WriteDword(HKEY_LOCAL_MACHINE, std::string(kSimulatorKeyPath) + "\\Faults", operation, static_cast<DWORD>(result));
}
inline void ClearFaults()
{
    DeleteTree(HKEY_LOCAL_MACHINE, std::string(kSimulatorKeyPath) + "\\Faults");
}
inline void AddUser(const std::string& domain, const std::string& user, bool enabled)
{
    WriteDword(HKEY_LOCAL_MACHINE, std::string(kSimulatorKeyPath) + "\\Users\\" + domain + "\\" + user, "Enabled",
               enabled);
}

} // namespace VrkTest
