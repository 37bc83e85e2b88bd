// SimulatorTestSupport.cpp: loads vrksimulator.dll and resets its settings.
#include "SimulatorTestSupport.h"

namespace VrkTest
{

const char kSimulatorKeyPath[] = "SOFTWARE\\VEYRAK Corporation\\VRKSolutionSimulator";
const char kSingleSignOnClassKey[] = "CLSID\\{2D070527-5F3F-4A0C-B426-2E598F6D470D}";
const char kHandleManagerClassKey[] = "CLSID\\{5F3D5012-F8A8-402F-97CF-927FE49BA9ED}";

SimulatorDll::SimulatorDll() : m_module(::LoadLibraryA(Path().c_str()))
{
    EXPECT_NE(nullptr, m_module) << "cannot load " << Path() << ", error " << ::GetLastError();
}

HRESULT SimulatorDll::Call(const char* name) const
{
    auto function =
        m_module
            ? reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(reinterpret_cast<void*>(::GetProcAddress(m_module, name)))
            : nullptr;
    return function ? function() : E_UNEXPECTED;
}

HRESULT SimulatorDll::GetClassObject(REFCLSID clsid, REFIID iid, void** object) const
{
    using Function = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto function =
        m_module ? reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(m_module, "DllGetClassObject")))
                 : nullptr;
    return function ? function(clsid, iid, object) : E_UNEXPECTED;
}

HRESULT SimulatorDll::Create(REFCLSID clsid, REFIID iid, void** object) const
{
    ComPtr<IClassFactory> factory;
    HRESULT result = GetClassObject(clsid, IID_IClassFactory, factory.PutVoid());
    return FAILED(result) ? result : factory->CreateInstance(nullptr, iid, object);
}

void SimulatorTest::RemoveEverything()
{
    DeleteTree(HKEY_LOCAL_MACHINE, kSimulatorKeyPath);
    DeleteTree(HKEY_CLASSES_ROOT, kSingleSignOnClassKey);
    DeleteTree(HKEY_CLASSES_ROOT, kHandleManagerClassKey);
}

void WriteValue(HKEY root, const std::string& path, const std::string& name, DWORD type, const void* data, DWORD size)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, ::RegSetValueExA(key, name.empty() ? nullptr : name.c_str(), 0, type,
                                              static_cast<const BYTE*>(data), size));
    ::RegCloseKey(key);
}

} // namespace VrkTest
