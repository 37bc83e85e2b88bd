// ServerTestSupport.h: helpers of the server tests: an outer object for aggregation, the DLL's
// type library registered by hand, VARIANT and Invoke helpers, and a fixture with the library registered.
#pragma once

#include "Common/Utility/ComPtr.h"
#include "Common/Utility/UniqueResource.h"
#include "support/ServerDll.h"
#include "support/TestSupport.h"

#include "vrksolauth.h"

#include <vector>

namespace VrkTest
{

using Veyrak::ComPtr;

const DISPID kPoisonDispid = static_cast<DISPID>(0xdeadbeef);

// A controlling object on the test's stack. It answers IUnknown itself, hands the dual interface
// and IDispatch to the inner object's non-delegating IUnknown and refuses the rest; it counts queries.
class Outer final : public IUnknown
{
public:
    IFACEMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        ++queries;
        *out = nullptr;
        if (::IsEqualIID(iid, IID_IUnknown))
        {
            *out = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        const bool forwarded = ::IsEqualIID(iid, IID_IVRKsolutionAuthenticator1) || ::IsEqualIID(iid, IID_IDispatch);
        return forwarded && inner ? inner->QueryInterface(iid, out) : E_NOINTERFACE;
    }
    IFACEMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&count)); }
    IFACEMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(::InterlockedDecrement(&count)); }

    volatile LONG count = 1;
    int queries = 0;
    IUnknown* inner = nullptr;
};

inline HRESULT RegisterServerTypeLibrary()
{
    std::wstring path = Widen(ProgramDirectory() + "vrksolauth.dll");
    std::wstring helpFolder = Widen(ProgramDirectory());
    ComPtr<ITypeLib> library;
    HRESULT result = ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.Put());
    return FAILED(result) ? result : ::RegisterTypeLib(library.Get(), &path[0], &helpFolder[0]);
}

inline HRESULT UnregisterServerTypeLibrary()
{
    return ::UnRegisterTypeLib(LIBID_VRKSOLAUTHLib, 1, 0, 0, kNativeSysKind);
}

using Variant = Veyrak::UniqueVariant;

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

// The product key absent, the DLL loaded, its type library registered for the test, and one authenticator.
class RegisteredServerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetProductInstalled(false);
        ASSERT_TRUE(m_dll.Loaded());
        ASSERT_HR(S_OK, RegisterServerTypeLibrary());
        ::SetErrorInfo(0, nullptr);
        ASSERT_HR(S_OK, m_dll.CreateAuthenticator(m_object));
    }
    void TearDown() override { EXPECT_HR(S_OK, UnregisterServerTypeLibrary()); }

    ComApartment m_apartment;
    ServerDll m_dll;
    ComPtr<IVRKsolutionAuthenticator1> m_object;
};

} // namespace VrkTest
