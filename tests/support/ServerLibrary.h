// ServerLibrary.h: a COM server DLL from beside the running program, called through its
// exports as a client that loads it itself (no registration needed). Tests and benchmarks
// share it; it reports what went wrong and leaves the verdict to its caller.
#pragma once

#include "Common/Utility/ComPtr.h"

#include <windows.h>
#include <objbase.h>

#include "vrksolauth.h"

#include <string>

namespace VrkTest
{

// The directory of the running program (where the DLLs lie too), with a trailing backslash.
std::string ProgramDirectory();

class ServerLibrary
{
public:
    // Loads the DLL (vrksolauth.dll unless named, relative to the program's directory).
    explicit ServerLibrary(const char* fileName = "vrksolauth.dll");
    ServerLibrary(const ServerLibrary&) = delete;
    ServerLibrary& operator=(const ServerLibrary&) = delete;
    ~ServerLibrary();

    // S_OK when the DLL and its four exports were found; otherwise why not.
    HRESULT Result() const { return m_result; }
    bool Loaded() const { return m_module != nullptr; }
    // FreeLibrary; every export fails with E_UNEXPECTED afterwards, as it does when one is missing.
    void Unload();
    HMODULE Module() const { return m_module; }
    // The DLL's full path as the platform reports it.
    std::string Path() const;

    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object) const
    {
        return m_getClassObject ? m_getClassObject(clsid, iid, object) : E_UNEXPECTED;
    }
    HRESULT GetFactory(Veyrak::ComPtr<IClassFactory>& factory) const
    {
        return GetClassObject(CLSID_VRKsolutionAuthenticator, IID_IClassFactory, factory.PutVoid());
    }
    // Creates an authenticator through the class factory, which is released again.
    HRESULT CreateAuthenticator(IUnknown* outer, REFIID iid, void** object) const;
    // A standalone authenticator, asked for its dual interface.
    HRESULT CreateAuthenticator(Veyrak::ComPtr<IVRKsolutionAuthenticator1>& object) const
    {
        return CreateAuthenticator(nullptr, IID_IVRKsolutionAuthenticator1, object.PutVoid());
    }
    HRESULT CanUnloadNow() const { return Call(m_canUnloadNow); }
    HRESULT RegisterServer() const { return Call(m_registerServer); }
    HRESULT UnregisterServer() const { return Call(m_unregisterServer); }

private:
    using GetClassObjectFunction = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    using ParameterlessExport = HRESULT(STDAPICALLTYPE*)();
    static HRESULT Call(ParameterlessExport function) { return function ? function() : E_UNEXPECTED; }

    HRESULT m_result = E_FAIL;
    HMODULE m_module = nullptr;
    GetClassObjectFunction m_getClassObject = nullptr;
    ParameterlessExport m_canUnloadNow = nullptr;
    ParameterlessExport m_registerServer = nullptr;
    ParameterlessExport m_unregisterServer = nullptr;
};

} // namespace VrkTest
