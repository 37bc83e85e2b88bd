// ServerDll.cpp: loads vrksolauth.dll and calls its exports.
#include "support/ServerDll.h"

#include "support/TestSupport.h"

#include "vrksolauth.h"

namespace VrkTest
{

namespace
{
template <typename Function> Function Export(HMODULE module, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}
} // namespace

ServerDll::ServerDll(const char* fileName)
{
    std::string path = ProgramDirectory() + fileName;
    m_module = ::LoadLibraryA(path.c_str());
    EXPECT_NE(nullptr, m_module) << "cannot load " << path << ", error " << ::GetLastError();
    if (!m_module)
        return;
    m_getClassObject = Export<GetClassObjectFunction>(m_module, "DllGetClassObject");
    m_canUnloadNow = Export<ParameterlessExport>(m_module, "DllCanUnloadNow");
    m_registerServer = Export<ParameterlessExport>(m_module, "DllRegisterServer");
    m_unregisterServer = Export<ParameterlessExport>(m_module, "DllUnregisterServer");
    EXPECT_NE(nullptr, m_getClassObject);
    EXPECT_NE(nullptr, m_canUnloadNow);
}

ServerDll::~ServerDll()
{
    Unload();
}

void ServerDll::Unload()
{
    if (m_module)
        ::FreeLibrary(m_module);
    m_module = nullptr;
    m_getClassObject = nullptr;
    m_canUnloadNow = nullptr;
    m_registerServer = nullptr;
    m_unregisterServer = nullptr;
}

HRESULT ServerDll::GetFactory(Veyrak::ComPtr<IClassFactory>& factory) const
{
    return GetClassObject(CLSID_VRKsolutionAuthenticator, IID_IClassFactory, factory.PutVoid());
}

HRESULT ServerDll::CreateAuthenticator(Veyrak::ComPtr<IVRKsolutionAuthenticator1>& object) const
{
    return CreateAuthenticator(nullptr, IID_IVRKsolutionAuthenticator1, object.PutVoid());
}

HRESULT ServerDll::GetClassObject(REFCLSID clsid, REFIID iid, void** object) const
{
    return m_getClassObject ? m_getClassObject(clsid, iid, object) : E_UNEXPECTED;
}

HRESULT ServerDll::CanUnloadNow() const
{
    return m_canUnloadNow ? m_canUnloadNow() : E_UNEXPECTED;
}

HRESULT ServerDll::RegisterServer() const
{
    return m_registerServer ? m_registerServer() : E_UNEXPECTED;
}

HRESULT ServerDll::UnregisterServer() const
{
    return m_unregisterServer ? m_unregisterServer() : E_UNEXPECTED;
}

std::string ServerDll::Path() const
{
    char path[MAX_PATH] = {};
    DWORD length = m_module ? ::GetModuleFileNameA(m_module, path, MAX_PATH) : 0;
    return std::string(path, length);
}

HRESULT ServerDll::CreateAuthenticator(IUnknown* outer, REFIID iid, void** object) const
{
    Veyrak::ComPtr<IClassFactory> factory;
    const HRESULT result = GetFactory(factory);
    return FAILED(result) ? result : factory->CreateInstance(outer, iid, object);
}

} // namespace VrkTest
