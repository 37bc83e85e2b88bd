// ServerDll.h: a test's view of vrksolauth.dll through its exports, as a COM client
// that loads the DLL itself (no registration needed).
#pragma once

#include "Common/Utility/ComPtr.h"

#include <windows.h>
#include <objbase.h>

#include "vrksolauth.h"

#include <string>

namespace VrkTest
{

class ServerDll
{
public:
    // Loads the DLL (vrksolauth.dll unless named) from beside the test program; fails the test if it cannot.
    explicit ServerDll(const char* fileName = "vrksolauth.dll");
    ServerDll(const ServerDll&) = delete;
    ServerDll& operator=(const ServerDll&) = delete;
    ~ServerDll();

    bool Loaded() const { return m_module != nullptr; }
    // FreeLibrary; the DLL's exports are not to be called afterwards.
    void Unload();

    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object) const;
    HRESULT GetFactory(Veyrak::ComPtr<IClassFactory>& factory) const;
    // A standalone authenticator, asked for its dual interface.
    HRESULT CreateAuthenticator(Veyrak::ComPtr<IVRKsolutionAuthenticator1>& object) const;
    HRESULT CanUnloadNow() const;
    // Creates an authenticator through the class factory (the factory reference is released again).
    HRESULT CreateAuthenticator(IUnknown* outer, REFIID iid, void** object) const;
    HRESULT RegisterServer() const;
    HRESULT UnregisterServer() const;
    HMODULE Module() const { return m_module; }
    // The DLL's full path as the platform reports it.
    std::string Path() const;

private:
    using GetClassObjectFunction = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    using ParameterlessExport = HRESULT(STDAPICALLTYPE*)();

    HMODULE m_module = nullptr;
    GetClassObjectFunction m_getClassObject = nullptr;
    ParameterlessExport m_canUnloadNow = nullptr;
    ParameterlessExport m_registerServer = nullptr;
    ParameterlessExport m_unregisterServer = nullptr;
};

} // namespace VrkTest
