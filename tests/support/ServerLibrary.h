// ServerLibrary.h: a COM server DLL from beside the running program, called through its exports
// (no registration needed), for tests and benchmarks: it reports failures, its caller judges them.
#pragma once

#include "Common/Utility/ComPtr.h"
#include "Common/Utility/Result.h"

#include <windows.h>
#include <objbase.h>

#include "vrksolauth.h"

#include <string>

namespace VrkTest
{

// The directory of the running program (where the DLLs lie too), with a trailing backslash.
inline std::string ProgramDirectory()
{
    char path[MAX_PATH] = {};
    const std::string program(path, ::GetModuleFileNameA(nullptr, path, MAX_PATH));
    return program.substr(0, program.find_last_of("\\/") + 1);
}

class ServerLibrary
{
public:
    // Loads the DLL (vrksolauth.dll unless named, relative to the program's directory).
    explicit ServerLibrary(const char* fileName = "vrksolauth.dll")
        : m_file(ProgramDirectory() + fileName), m_module(::LoadLibraryA(m_file.c_str()))
    {
        const bool complete = Export("DllGetClassObject") && Export("DllCanUnloadNow") && Export("DllRegisterServer") &&
                              Export("DllUnregisterServer");
        m_result = !m_module ? Veyrak::LastErrorResult() : complete ? S_OK : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    }
    ServerLibrary(const ServerLibrary&) = delete;
    ServerLibrary& operator=(const ServerLibrary&) = delete;
    ~ServerLibrary() { Unload(); }

    // S_OK when the DLL and its four exports were found; otherwise why not.
    HRESULT Result() const { return m_result; }
    bool Loaded() const { return m_module != nullptr; }
    HMODULE Module() const { return m_module; } // for callers that take an export themselves
    // FreeLibrary; every export fails with E_UNEXPECTED afterwards, as it does when one is missing.
    void Unload()
    {
        if (m_module)
            ::FreeLibrary(m_module);
        m_module = nullptr;
    }
    // A fresh start: unloaded (which runs its clean-ups) and loaded again.
    void Reload()
    {
        Unload();
        m_module = ::LoadLibraryA(m_file.c_str());
    }
    std::string Path() const
    {
        char path[MAX_PATH] = {};
        return std::string(path, m_module ? ::GetModuleFileNameA(m_module, path, MAX_PATH) : 0);
    }

    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object) const
    {
        const auto function =
            reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(Export("DllGetClassObject"));
        return function ? function(clsid, iid, object) : E_UNEXPECTED;
    }
    HRESULT GetFactory(Veyrak::ComPtr<IClassFactory>& factory) const
    {
        return GetClassObject(CLSID_VRKsolutionAuthenticator, IID_IClassFactory, factory.PutVoid());
    }
    // Creates an object of the class through its factory, which is released again.
    HRESULT Create(REFCLSID clsid, IUnknown* outer, REFIID iid, void** object) const
    {
        Veyrak::ComPtr<IClassFactory> factory;
        const HRESULT result = GetClassObject(clsid, IID_IClassFactory, factory.PutVoid());
        return FAILED(result) ? result : factory->CreateInstance(outer, iid, object);
    }
    HRESULT CreateAuthenticator(IUnknown* outer, REFIID iid, void** object) const
    {
        return Create(CLSID_VRKsolutionAuthenticator, outer, iid, object);
    }
    HRESULT CreateAuthenticator(Veyrak::ComPtr<IVRKsolutionAuthenticator1>& object) const
    {
        return CreateAuthenticator(nullptr, IID_IVRKsolutionAuthenticator1, object.PutVoid());
    }
    HRESULT CanUnloadNow() const { return Call("DllCanUnloadNow"); }
    HRESULT RegisterServer() const { return Call("DllRegisterServer"); }
    HRESULT UnregisterServer() const { return Call("DllUnregisterServer"); }

private:
    void* Export(const char* name) const
    {
        return m_module ? reinterpret_cast<void*>(::GetProcAddress(m_module, name)) : nullptr;
    }
    HRESULT Call(const char* name) const
    {
        const auto function = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(Export(name));
        return function ? function() : E_UNEXPECTED;
    }

    std::string m_file;
    HMODULE m_module;
    HRESULT m_result;
};

} // namespace VrkTest
