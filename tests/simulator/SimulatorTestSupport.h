// SimulatorTestSupport.h: vrksimulator.dll through its exports, and a fixture that gives
// each test empty simulator settings and no simulator registration.
#pragma once

#include "support/TestSupport.h"

#include "authenticator/VeyrakComponents.h"

#include <string>

namespace VrkTest
{

// HKEY_LOCAL_MACHINE\SOFTWARE\VEYRAK Corporation\VRKSolutionSimulator, as the DLL reads it.
extern const char kSimulatorKeyPath[];
// HKEY_CLASSES_ROOT\CLSID\{...} of the two classes.
extern const char kSingleSignOnClassKey[];
extern const char kHandleManagerClassKey[];

class SimulatorDll
{
public:
    // Loads vrksimulator.dll from beside the test program; fails the test if it cannot.
    SimulatorDll();
    SimulatorDll(const SimulatorDll&) = delete;
    SimulatorDll& operator=(const SimulatorDll&) = delete;
    ~SimulatorDll();

    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object) const;
    HRESULT CanUnloadNow() const;
    HRESULT RegisterServer() const;
    HRESULT UnregisterServer() const;
    // Creates an object through the class's factory (the factory reference is released again).
    HRESULT Create(REFCLSID clsid, REFIID iid, void** object) const;

    static std::string Path();

private:
    using ExportFunction = HRESULT(STDAPICALLTYPE*)();
    using GetClassObjectFunction = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

    HMODULE m_module = nullptr;
    GetClassObjectFunction m_getClassObject = nullptr;
    ExportFunction m_canUnloadNow = nullptr;
    ExportFunction m_registerServer = nullptr;
    ExportFunction m_unregisterServer = nullptr;
};

// Empty simulator settings and no class keys of the simulator, before and after each test.
class SimulatorTest : public ::testing::Test
{
protected:
    void SetUp() override { RemoveEverything(); }
    void TearDown() override { RemoveEverything(); }
    static void RemoveEverything();
};

// Writes a REG_DWORD under HKLM\<simulator key>\<subkey>.
void WriteSimulatorDword(const std::string& subkey, const std::string& name, DWORD value);
void SetFault(const std::string& operation, HRESULT result);
void AddUser(const std::string& domain, const std::string& user, bool enabled);

// A BSTR that frees itself.
class Bstr
{
public:
    explicit Bstr(const wchar_t* text = nullptr) : m_text(text ? ::SysAllocString(text) : nullptr) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { ::SysFreeString(m_text); }
    BSTR get() const { return m_text; }
    BSTR* out()
    {
        ::SysFreeString(m_text);
        m_text = nullptr;
        return &m_text;
    }
    std::wstring text() const { return m_text ? std::wstring(m_text, ::SysStringLen(m_text)) : L"<null>"; }

private:
    BSTR m_text;
};

} // namespace VrkTest
