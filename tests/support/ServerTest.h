// ServerTest.h: what the tests of the server DLL share: the fixture that loads it and checks that
// nothing outlived a test, a controlling object for aggregation, the type library and Invoke.
#pragma once

#include "support/TestSupport.h"

#include <atomic>
#include <vector>

namespace VrkTest
{

using Variant = Veyrak::UniqueVariant;

const DISPID kPoisonDispid = static_cast<DISPID>(0xdeadbeef);

// A controlling object, made with new: it answers IUnknown itself and hands every other request,
// but the one it refuses, to its inner object; its last Release releases the inner one and itself.
class Outer final : public IUnknown
{
public:
    explicit Outer(const IID* refused = nullptr) : m_refused(refused) { ++live; }
    ~Outer() { --live; }
    IFACEMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        ++queries;
        *out = nullptr;
        if (!::IsEqualIID(iid, IID_IUnknown))
            return inner && !(m_refused && ::IsEqualIID(iid, *m_refused)) ? inner->QueryInterface(iid, out)
                                                                          : E_NOINTERFACE;
        *out = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    IFACEMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&count)); }
    IFACEMETHODIMP_(ULONG) Release() override
    {
        const LONG left = ::InterlockedDecrement(&count);
        if (left == 0)
        {
            count = 1; // the inner object may call back while it goes
            inner.Reset();
            delete this;
        }
        return static_cast<ULONG>(left);
    }

    static inline std::atomic<LONG> live{0};
    volatile LONG count = 1;
    int queries = 0;
    ComPtr<IUnknown> inner;

private:
    const IID* const m_refused;
};

inline HRESULT RegisterServerTypeLibrary()
{
    std::wstring path = Widen(ProgramDirectory() + "vrksolauth.dll"), helpFolder = Widen(ProgramDirectory());
    ComPtr<ITypeLib> library;
    HRESULT result = ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.Put());
    return FAILED(result) ? result : ::RegisterTypeLib(library.Get(), &path[0], &helpFolder[0]);
}

inline HRESULT UnregisterServerTypeLibrary()
{
    return ::UnRegisterTypeLib(LIBID_VRKSOLAUTHLib, 1, 0, 0, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
}

// IDispatch::Invoke with the arguments in the method's own order (DISPPARAMS takes them reversed).
inline HRESULT InvokeWith(IDispatch* object, DISPID dispid, std::vector<VARIANT*> arguments, VARIANT* result,
                          EXCEPINFO* exception = nullptr, UINT* argumentError = nullptr)
{
    std::vector<VARIANT> reversed;
    for (auto argument = arguments.rbegin(); argument != arguments.rend(); ++argument)
        reversed.push_back(**argument);
    DISPPARAMS parameters = {reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    return object->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters, result, exception,
                          argumentError);
}

// The DLL in a multithreaded apartment, the product key absent unless the fixture says otherwise, no
// error information pending; afterwards nothing may hold the module (unless the test unloaded it).
class ServerTest : public ::testing::Test
{
protected:
    explicit ServerTest(bool productInstalled = false) : m_productInstalled(productInstalled) {}
    void SetUp() override
    {
        SetProductInstalled(m_productInstalled);
        ::SetErrorInfo(0, nullptr);
        ASSERT_TRUE(m_dll.Loaded());
    }
    void TearDown() override
    {
        SetProductInstalled(false);
        EXPECT_HR(S_OK, m_dll.Loaded() ? m_dll.CanUnloadNow() : S_OK)
            << "an object, reference or lock outlived the test";
    }

    ComApartment m_apartment{COINIT_MULTITHREADED};
    ServerDll m_dll;

private:
    const bool m_productInstalled;
};

// A server test with the type library registered and one standalone authenticator.
class RegisteredServerTest : public ServerTest
{
protected:
    void SetUp() override
    {
        ServerTest::SetUp();
        ASSERT_HR(S_OK, RegisterServerTypeLibrary());
        ASSERT_HR(S_OK, m_dll.CreateAuthenticator(m_object));
    }
    void TearDown() override
    {
        m_object.Reset();
        EXPECT_HR(S_OK, UnregisterServerTypeLibrary());
        ServerTest::TearDown();
    }

    ComPtr<IVRKsolutionAuthenticator1> m_object;
};

} // namespace VrkTest
