// ServerDll.cpp: loads vrksolauth.dll and calls its exports.
#include "support/ServerDll.h"

#include "support/TestSupport.h"

#include "vrksolauth.h"

namespace VrkTest
{

ServerDll::ServerDll()
{
    std::string path = ProgramDirectory() + "vrksolauth.dll";
    m_module = ::LoadLibraryA(path.c_str());
    EXPECT_NE(nullptr, m_module) << "cannot load " << path << ", error " << ::GetLastError();
    if (!m_module)
        return;
    m_getClassObject = reinterpret_cast<GetClassObjectFunction>(
        reinterpret_cast<void*>(::GetProcAddress(m_module, "DllGetClassObject")));
    m_canUnloadNow =
        reinterpret_cast<CanUnloadNowFunction>(reinterpret_cast<void*>(::GetProcAddress(m_module, "DllCanUnloadNow")));
    EXPECT_NE(nullptr, m_getClassObject);
    EXPECT_NE(nullptr, m_canUnloadNow);
}

ServerDll::~ServerDll()
{
    if (m_module)
        ::FreeLibrary(m_module);
}

HRESULT ServerDll::GetClassObject(REFCLSID clsid, REFIID iid, void** object) const
{
    return m_getClassObject ? m_getClassObject(clsid, iid, object) : E_UNEXPECTED;
}

HRESULT ServerDll::CanUnloadNow() const
{
    return m_canUnloadNow ? m_canUnloadNow() : E_UNEXPECTED;
}

HRESULT ServerDll::CreateAuthenticator(IUnknown* outer, REFIID iid, void** object) const
{
    IClassFactory* factory = nullptr;
    HRESULT result =
        GetClassObject(CLSID_VRKsolutionAuthenticator, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(result))
        return result;
    result = factory->CreateInstance(outer, iid, object);
    factory->Release();
    return result;
}

} // namespace VrkTest
