// FakeComponents.cpp: vrk_fake_components.dll, call-counting stand-ins for the maker's components,
// created by COM from their registration like the real ones; FakeComponentState.h is their script
// and record.
#include "FakeComponentState.h"

#include <mutex>

namespace VrkTest
{

namespace
{

FakeComponentState g_state;
FakeScript& g_fakeScript = g_state.script;
FakeRecord& g_fakeRecord = g_state.record;

std::mutex g_recordLock; // over the record's texts

// A text whole, embedded zeros too; a null one as "<null>".
std::wstring Text(BSTR text)
{
    return text ? std::wstring(text, ::SysStringLen(text)) : L"<null>";
}

// Reference counting shared by the fakes, which answer IUnknown and their own interface; every live
// reference is counted globally too, and the last Releases of a kind that names itself are recorded.
template <typename Interface> class FakeObject : public Interface
{
public:
    explicit FakeObject(const IID& own, char kind = 0) : m_own(own), m_kind(kind) { AddRef(); }
    virtual ~FakeObject() = default;

    IFACEMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        const bool known = ::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, m_own);
        *out = known ? (AddRef(), static_cast<Interface*>(this)) : nullptr;
        return known ? S_OK : E_NOINTERFACE;
    }
    IFACEMETHODIMP_(ULONG) AddRef() override
    {
        ::InterlockedIncrement(&g_fakeRecord.liveReferences);
        return static_cast<ULONG>(::InterlockedIncrement(&m_count));
    }
    IFACEMETHODIMP_(ULONG) Release() override
    {
        ::InterlockedDecrement(&g_fakeRecord.liveReferences);
        if (m_kind)
        {
            // The last eight only, held in the string itself: long runs must not grow the heap.
            std::lock_guard<std::mutex> hold(g_recordLock);
            g_fakeRecord.releases.erase(0, g_fakeRecord.releases.size() < 8 ? 0 : 1) += m_kind;
        }
        const LONG count = ::InterlockedDecrement(&m_count);
        if (count == 0)
            delete this;
        return static_cast<ULONG>(count);
    }

private:
    const IID& m_own;
    const char m_kind;
    volatile LONG m_count = 0;
};

class FakeApplication final : public FakeObject<IPrimaryUserApp3>
{
public:
    FakeApplication() : FakeObject(IID_IPrimaryUserApp3, 'a') {}
    IFACEMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        const bool refused = g_fakeScript.applicationRefusesApp3 && ::IsEqualIID(iid, IID_IPrimaryUserApp3);
        return refused ? (*out = nullptr, E_NOINTERFACE) : FakeObject::QueryInterface(iid, out);
    }
    IFACEMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    IFACEMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    IFACEMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    IFACEMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP GetApplicationName(BSTR*) override { return E_NOTIMPL; }
    IFACEMETHODIMP AuthenticateUser(BSTR handle, VARIANT_BOOL* verdict) override
    {
        ::InterlockedIncrement(&g_fakeRecord.authenticateUserCalls);
        std::lock_guard<std::mutex> hold(g_recordLock);
        g_fakeRecord.handleReceived = Text(handle);
        *verdict = g_fakeScript.verdict;
        if (g_fakeScript.judgeByUser)
            *verdict =
                g_fakeRecord.handleReceived.rfind(L"\\valid") != std::wstring::npos ? VARIANT_TRUE : VARIANT_FALSE;
        return g_fakeScript.authenticateUser;
    }
};

class FakeSingleSignOn final : public FakeObject<ISingleSignOn>
{
public:
    FakeSingleSignOn() : FakeObject(IID_ISingleSignOn, 's') {}
    IFACEMETHODIMP GetPrimaryUserApplication(IUnknown** application) override
    {
        const bool delivers = SUCCEEDED(g_fakeScript.getApplication) && !g_fakeScript.deliverNullApplication;
        *application = nullptr;
        if (delivers && g_fakeScript.handOutApplication)
            (*application = g_fakeScript.handOutApplication)->AddRef();
        else if (delivers)
            *application = new FakeApplication();
        return g_fakeScript.getApplication;
    }
};

class FakeHandleManager final : public FakeObject<IHandleManager>
{
public:
    FakeHandleManager() : FakeObject(IID_IHandleManager) {}
    IFACEMETHODIMP CreateUserHandle(BSTR domain, BSTR user, LONG reserved, BSTR* handle) override
    {
        ::InterlockedIncrement(&g_fakeRecord.createUserHandleCalls);
        std::lock_guard<std::mutex> hold(g_recordLock);
        g_fakeRecord.domain = Text(domain);
        g_fakeRecord.user = Text(user);
        g_fakeRecord.reserved = reserved;
        if (FAILED(g_fakeScript.createUserHandle))
            return g_fakeScript.createUserHandle;
        g_fakeRecord.handleCreated = L"handle:" + g_fakeRecord.domain + L"\\" + g_fakeRecord.user;
        *handle = ::SysAllocStringLen(g_fakeRecord.handleCreated.data(), g_fakeRecord.handleCreated.size());
        return S_OK;
    }
};

// A static class object that makes one kind of fake, or fails as scripted.
template <typename Fake> class FakeFactory final : public IClassFactory
{
public:
    FakeFactory(HRESULT FakeScript::*result, volatile LONG FakeRecord::*created) : m_result(result), m_created(created)
    {
    }
    IFACEMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        const bool known = ::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IClassFactory);
        *out = known ? static_cast<IClassFactory*>(this) : nullptr;
        return known ? S_OK : E_NOINTERFACE;
    }
    IFACEMETHODIMP_(ULONG) AddRef() override { return 2; }
    IFACEMETHODIMP_(ULONG) Release() override { return 1; }
    IFACEMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override
    {
        *out = nullptr;
        if (outer) // the server never aggregates a component
            ::InterlockedIncrement(&g_fakeRecord.aggregationRequests);
        if (FAILED(g_fakeScript.*m_result))
            return g_fakeScript.*m_result;
        ::InterlockedIncrement(&(g_fakeRecord.*m_created));
        auto* fake = new Fake();
        const HRESULT result = fake->QueryInterface(iid, out);
        fake->Release();
        return result;
    }
    IFACEMETHODIMP LockServer(BOOL) override { return S_OK; }

private:
    HRESULT FakeScript::*m_result;
    volatile LONG FakeRecord::*m_created;
};

FakeFactory<FakeSingleSignOn> g_singleSignOnFactory(&FakeScript::createSingleSignOn, &FakeRecord::singleSignOnCreated);
FakeFactory<FakeHandleManager> g_handleManagerFactory(&FakeScript::createHandleManager,
                                                      &FakeRecord::handleManagerCreated);

} // namespace

} // namespace VrkTest

using namespace VrkTest;

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    IClassFactory* factory = nullptr;
    if (::IsEqualCLSID(clsid, CLSID_VeyrakSingleSignOn))
        factory = &g_singleSignOnFactory;
    else if (::IsEqualCLSID(clsid, CLSID_VeyrakHandleManager))
        factory = &g_handleManagerFactory;
    return factory ? factory->QueryInterface(iid, object) : CLASS_E_CLASSNOTAVAILABLE;
}

// The state lives as long as the process: the DLL is never unloaded.
extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    return S_FALSE;
}

extern "C" FakeComponentState* WINAPI VrkFakeComponentState()
{
    return &g_state;
}
