// ServerLibrary.cpp: loads a server DLL and calls its exports.
#include "support/ServerLibrary.h"

#include "Common/Utility/Result.h"

namespace VrkTest
{

namespace
{
template <typename Function> Function Export(HMODULE module, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}
} // namespace

std::string ProgramDirectory()
{
    char path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string program(path, length);
    return program.substr(0, program.find_last_of("\\/") + 1);
}

ServerLibrary::ServerLibrary(const char* fileName)
{
    m_module = ::LoadLibraryA((ProgramDirectory() + fileName).c_str());
    if (!m_module)
    {
        m_result = Veyrak::LastErrorResult();
        return;
    }
    m_getClassObject = Export<GetClassObjectFunction>(m_module, "DllGetClassObject");
    m_canUnloadNow = Export<ParameterlessExport>(m_module, "DllCanUnloadNow");
    m_registerServer = Export<ParameterlessExport>(m_module, "DllRegisterServer");
    m_unregisterServer = Export<ParameterlessExport>(m_module, "DllUnregisterServer");
    const bool complete = m_getClassObject && m_canUnloadNow && m_registerServer && m_unregisterServer;
    m_result = complete ? S_OK : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
}

ServerLibrary::~ServerLibrary()
{
    Unload();
}

void ServerLibrary::Unload()
{
    if (m_module)
        ::FreeLibrary(m_module);
    m_module = nullptr;
    m_getClassObject = nullptr;
    m_canUnloadNow = m_registerServer = m_unregisterServer = nullptr;
}

std::string ServerLibrary::Path() const
{
    char path[MAX_PATH] = {};
    const DWORD length = m_module ? ::GetModuleFileNameA(m_module, path, MAX_PATH) : 0;
    return std::string(path, length);
}

HRESULT ServerLibrary::CreateAuthenticator(IUnknown* outer, REFIID iid, void** object) const
{
    Veyrak::ComPtr<IClassFactory> factory;
    const HRESULT result = GetFactory(factory);
    return FAILED(result) ? result : factory->CreateInstance(outer, iid, object);
}

} // namespace VrkTest
