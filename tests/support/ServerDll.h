// ServerDll.h: a test's view of vrksolauth.dll through its exports, as a COM client
// that loads the DLL itself (no registration needed).
#pragma once

#include <windows.h>
#include <objbase.h>

namespace VrkTest
{

class ServerDll
{
public:
    // Loads vrksolauth.dll from beside the test program; fails the test if it cannot.
    ServerDll();
    ServerDll(const ServerDll&) = delete;
    ServerDll& operator=(const ServerDll&) = delete;
    ~ServerDll();

    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object) const;
    HRESULT CanUnloadNow() const;
    // Creates an authenticator through the class factory (the factory reference is released again).
    HRESULT CreateAuthenticator(IUnknown* outer, REFIID iid, void** object) const;
    HMODULE Module() const { return m_module; }

private:
    using GetClassObjectFunction = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    using CanUnloadNowFunction = HRESULT(STDAPICALLTYPE*)();

    HMODULE m_module = nullptr;
    GetClassObjectFunction m_getClassObject = nullptr;
    CanUnloadNowFunction m_canUnloadNow = nullptr;
};

} // namespace VrkTest
