// SimulatorTestSupport.cpp: loads vrksimulator.dll and resets its settings.
#include "SimulatorTestSupport.h"

namespace VrkTest
{

const char kSimulatorKeyPath[] = "SOFTWARE\\VEYRAK Corporation\\VRKSolutionSimulator";
const char kSingleSignOnClassKey[] = "CLSID\\{2D070527-5F3F-4A0C-B426-2E598F6D470D}";
const char kHandleManagerClassKey[] = "CLSID\\{5F3D5012-F8A8-402F-97CF-927FE49BA9ED}";

template <typename Function> static Function Export(HMODULE module, const char* name)
{
    auto function = reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
    EXPECT_NE(nullptr, function) << name << " is not exported";
    return function;
}

std::string SimulatorDll::Path()
{
    return ProgramDirectory() + "vrksimulator.dll";
}

SimulatorDll::SimulatorDll()
{
    m_module = ::LoadLibraryA(Path().c_str());
    EXPECT_NE(nullptr, m_module) << "cannot load " << Path() << ", error " << ::GetLastError();
    if (!m_module)
        return;
    m_getClassObject = Export<GetClassObjectFunction>(m_module, "DllGetClassObject");
    m_canUnloadNow = Export<ExportFunction>(m_module, "DllCanUnloadNow");
    m_registerServer = Export<ExportFunction>(m_module, "DllRegisterServer");
    m_unregisterServer = Export<ExportFunction>(m_module, "DllUnregisterServer");
}

SimulatorDll::~SimulatorDll()
{
    if (m_module)
        ::FreeLibrary(m_module);
}

HRESULT SimulatorDll::GetClassObject(REFCLSID clsid, REFIID iid, void** object) const
{
    return m_getClassObject ? m_getClassObject(clsid, iid, object) : E_UNEXPECTED;
}

HRESULT SimulatorDll::CanUnloadNow() const
{
    return m_canUnloadNow ? m_canUnloadNow() : E_UNEXPECTED;
}

HRESULT SimulatorDll::RegisterServer() const
{
    return m_registerServer ? m_registerServer() : E_UNEXPECTED;
}

HRESULT SimulatorDll::UnregisterServer() const
{
    return m_unregisterServer ? m_unregisterServer() : E_UNEXPECTED;
}

HRESULT SimulatorDll::Create(REFCLSID clsid, REFIID iid, void** object) const
{
    IClassFactory* factory = nullptr;
    HRESULT result = GetClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(result))
        return result;
    result = factory->CreateInstance(nullptr, iid, object);
    factory->Release();
    return result;
}

void SimulatorTest::RemoveEverything()
{
    DeleteTree(HKEY_LOCAL_MACHINE, kSimulatorKeyPath);
    DeleteTree(HKEY_CLASSES_ROOT, kSingleSignOnClassKey);
    DeleteTree(HKEY_CLASSES_ROOT, kHandleManagerClassKey);
}

void WriteSimulatorDword(const std::string& subkey, const std::string& name, DWORD value)
{
    HKEY key = nullptr;
    std::string path = std::string(kSimulatorKeyPath) + "\\" + subkey;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                               &key, nullptr));
    EXPECT_EQ(ERROR_SUCCESS,
              ::RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value));
    ::RegCloseKey(key);
}

void SetFault(const std::string& operation, HRESULT result)
{
    WriteSimulatorDword("Faults", operation, static_cast<DWORD>(result));
}

void AddUser(const std::string& domain, const std::string& user, bool enabled)
{
    WriteSimulatorDword("Users\\" + domain + "\\" + user, "Enabled", enabled ? 1 : 0);
}

} // namespace VrkTest
