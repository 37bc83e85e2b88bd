// QuietComponents.cpp: vrk_quiet_components.dll, the allocation-free stand-ins. Every object is
// static and counts no references, so that AddRef and Release write nothing either.
#include "VeyrakComponents.h"

#include <windows.h>

namespace VrkBench
{

namespace
{

// Each stand-in answers for IUnknown and its own interface.
bool Answers(REFIID iid, REFIID own)
{
    return ::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, own);
}

template <typename Interface> HRESULT Hand(Interface* self, bool matches, void** out)
{
    if (!out)
        return E_POINTER;
    *out = matches ? self : nullptr;
    return matches ? S_OK : E_NOINTERFACE;
}

class QuietApplication final : public IPrimaryUserApp3
{
public:
    IFACEMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        return Hand(this, Answers(iid, IID_IPrimaryUserApp3) || ::IsEqualIID(iid, IID_IDispatch), out);
    }
    IFACEMETHODIMP_(ULONG) AddRef() override { return 2; }
    IFACEMETHODIMP_(ULONG) Release() override { return 1; }
    IFACEMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    IFACEMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    IFACEMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    IFACEMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP GetApplicationName(BSTR* name) override
    {
        *name = nullptr;
        return S_OK;
    }
    IFACEMETHODIMP AuthenticateUser(BSTR, VARIANT_BOOL* verdict) override
    {
        *verdict = VARIANT_TRUE;
        return S_OK;
    }
};

QuietApplication g_application;

class QuietSingleSignOn final : public ISingleSignOn
{
public:
    IFACEMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        return Hand(this, Answers(iid, IID_ISingleSignOn), out);
    }
    IFACEMETHODIMP_(ULONG) AddRef() override { return 2; }
    IFACEMETHODIMP_(ULONG) Release() override { return 1; }
    IFACEMETHODIMP GetPrimaryUserApplication(IUnknown** application) override
    {
        *application = &g_application;
        return S_OK;
    }
};

class QuietHandleManager final : public IHandleManager
{
public:
    IFACEMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        return Hand(this, Answers(iid, IID_IHandleManager), out);
    }
    IFACEMETHODIMP_(ULONG) AddRef() override { return 2; }
    IFACEMETHODIMP_(ULONG) Release() override { return 1; }
    IFACEMETHODIMP CreateUserHandle(BSTR, BSTR, LONG, BSTR* handle) override
    {
        *handle = nullptr;
        return S_OK;
    }
};

// A class object that hands out its one static component.
class QuietFactory final : public IClassFactory
{
public:
    explicit QuietFactory(IUnknown* component) : m_component(component) {}
    IFACEMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        return Hand(this, Answers(iid, IID_IClassFactory), out);
    }
    IFACEMETHODIMP_(ULONG) AddRef() override { return 2; }
    IFACEMETHODIMP_(ULONG) Release() override { return 1; }
    IFACEMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return m_component->QueryInterface(iid, out);
    }
    IFACEMETHODIMP LockServer(BOOL) override { return S_OK; }

private:
    IUnknown* m_component;
};

QuietSingleSignOn g_singleSignOn;
QuietHandleManager g_handleManager;
QuietFactory g_singleSignOnFactory(&g_singleSignOn);
QuietFactory g_handleManagerFactory(&g_handleManager);

} // namespace

} // namespace VrkBench

using namespace VrkBench;

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (::IsEqualCLSID(clsid, CLSID_VeyrakSingleSignOn))
        return g_singleSignOnFactory.QueryInterface(iid, object);
    if (::IsEqualCLSID(clsid, CLSID_VeyrakHandleManager))
        return g_handleManagerFactory.QueryInterface(iid, object);
    return CLASS_E_CLASSNOTAVAILABLE;
}

// Nothing counts references, so nothing tells when the DLL is free: it stays.
extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    return S_FALSE;
}
