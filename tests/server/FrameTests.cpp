// Tests of the server frame through the DLL's exports: the class factory cache, module
// locking, object identity and reference counts, aggregation.
#include "Common/Utility/ComPtr.h"
#include "support/ServerDll.h"
#include "support/TestSupport.h"

#include "vrksolauth.h"

using namespace VrkTest;
using Veyrak::ComPtr;

namespace
{

const CLSID kOtherClass = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};

// A controlling object that aggregates an authenticator. It answers only IUnknown
// itself and hands IVRKsolutionAuthenticator1 to the inner object, refusing the rest.
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
        if (::IsEqualIID(iid, IID_IVRKsolutionAuthenticator1) && inner)
            return inner->QueryInterface(iid, out);
        return E_NOINTERFACE;
    }
    IFACEMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&count)); }
    IFACEMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(::InterlockedDecrement(&count)); }

    volatile LONG count = 1;
    int queries = 0;
    IUnknown* inner = nullptr; // the shell's non-delegating IUnknown
};

class FrameTest : public ::testing::Test
{
protected:
    void SetUp() override { SetProductInstalled(false); }
    void TearDown() override { EXPECT_HR(S_OK, m_dll.CanUnloadNow()) << "something still holds the module"; }

    ComApartment m_apartment{COINIT_MULTITHREADED};
    ServerDll m_dll;
};

} // namespace

// --- DllGetClassObject ---

TEST_F(FrameTest, GetClassObject_BadRequests_FailAndLeaveTheTargetNull)
{
    EXPECT_HR(E_POINTER, m_dll.GetClassObject(CLSID_VRKsolutionAuthenticator, IID_IClassFactory, nullptr));

    void* object = reinterpret_cast<void*>(0xdeadbeef);
    EXPECT_HR(CLASS_E_CLASSNOTAVAILABLE, m_dll.GetClassObject(kOtherClass, IID_IClassFactory, &object));
    EXPECT_EQ(nullptr, object);

    object = reinterpret_cast<void*>(0xdeadbeef);
    EXPECT_HR(E_NOINTERFACE, m_dll.GetClassObject(CLSID_VRKsolutionAuthenticator, IID_IDispatch, &object));
    EXPECT_EQ(nullptr, object);
}

TEST_F(FrameTest, GetClassObject_GivesOneCachedFactoryForIClassFactoryAndIUnknown)
{
    ComPtr<IClassFactory> first, second;
    ComPtr<IUnknown> identity;
    ASSERT_HR(S_OK, m_dll.GetClassObject(CLSID_VRKsolutionAuthenticator, IID_IClassFactory, first.PutVoid()));
    ASSERT_HR(S_OK, m_dll.GetClassObject(CLSID_VRKsolutionAuthenticator, IID_IClassFactory, second.PutVoid()));
    ASSERT_HR(S_OK, m_dll.GetClassObject(CLSID_VRKsolutionAuthenticator, IID_IUnknown, identity.PutVoid()));
    EXPECT_EQ(first.Get(), second.Get());
    EXPECT_EQ(static_cast<IUnknown*>(first.Get()), identity.Get());
    // The object map's own reference plus our three.
    EXPECT_EQ(4u, ReferenceCount(first.Get()));
}

// --- DllCanUnloadNow ---

TEST_F(FrameTest, CanUnloadNow_FollowsOutsideFactoryReferencesAndServerLocks)
{
    EXPECT_HR(S_OK, m_dll.CanUnloadNow());
    {
        ComPtr<IClassFactory> factory;
        ASSERT_HR(S_OK, m_dll.GetClassObject(CLSID_VRKsolutionAuthenticator, IID_IClassFactory, factory.PutVoid()));
        EXPECT_HR(S_FALSE, m_dll.CanUnloadNow());

        EXPECT_HR(S_OK, factory->LockServer(TRUE));
        EXPECT_HR(S_OK, factory->LockServer(TRUE));
        factory.Reset();
        EXPECT_HR(S_FALSE, m_dll.CanUnloadNow());
    }
    ComPtr<IClassFactory> factory;
    ASSERT_HR(S_OK, m_dll.GetClassObject(CLSID_VRKsolutionAuthenticator, IID_IClassFactory, factory.PutVoid()));
    EXPECT_HR(S_OK, factory->LockServer(FALSE));
    EXPECT_HR(S_OK, factory->LockServer(FALSE));
    factory.Reset();
    EXPECT_HR(S_OK, m_dll.CanUnloadNow());

    // A live object holds the module too.
    ComPtr<IUnknown> object;
    ASSERT_HR(S_OK, m_dll.CreateAuthenticator(nullptr, IID_IUnknown, object.PutVoid()));
    EXPECT_HR(S_FALSE, m_dll.CanUnloadNow());
}

// --- CreateInstance ---

TEST_F(FrameTest, CreateInstance_BadRequests)
{
    ComPtr<IClassFactory> factory;
    ASSERT_HR(S_OK, m_dll.GetClassObject(CLSID_VRKsolutionAuthenticator, IID_IClassFactory, factory.PutVoid()));
    EXPECT_HR(E_POINTER, factory->CreateInstance(nullptr, IID_IUnknown, nullptr));

    Outer outer;
    void* object = reinterpret_cast<void*>(0xdeadbeef);
    EXPECT_HR(CLASS_E_NOAGGREGATION, factory->CreateInstance(&outer, IID_IDispatch, &object));
    EXPECT_EQ(nullptr, object);

    object = reinterpret_cast<void*>(0xdeadbeef);
    EXPECT_HR(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IClassFactory, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(1, outer.count);
}

// --- Identity and counts of a standalone object ---

TEST_F(FrameTest, Standalone_DualInterfaceIsTheIdentityAndEveryQueryCountsOnce)
{
    ComPtr<IUnknown> identity;
    ASSERT_HR(S_OK, m_dll.CreateAuthenticator(nullptr, IID_IUnknown, identity.PutVoid()));
    EXPECT_EQ(1u, ReferenceCount(identity.Get()));

    ComPtr<IDispatch> dispatch;
    ComPtr<IVRKsolutionAuthenticator1> dual;
    ComPtr<ISupportErrorInfo> support;
    ASSERT_HR(S_OK, identity.QueryInterface(IID_IDispatch, dispatch));
    ASSERT_HR(S_OK, identity.QueryInterface(IID_IVRKsolutionAuthenticator1, dual));
    ASSERT_HR(S_OK, identity.QueryInterface(IID_ISupportErrorInfo, support));
    EXPECT_EQ(identity.Get(), static_cast<IUnknown*>(dispatch.Get()));
    EXPECT_EQ(identity.Get(), static_cast<IUnknown*>(dual.Get()));
    EXPECT_NE(identity.Get(), static_cast<IUnknown*>(support.Get()));
    EXPECT_EQ(4u, ReferenceCount(identity.Get()));

    // Every entry point answers IUnknown with the identity.
    ComPtr<IUnknown> fromSupport;
    ASSERT_HR(S_OK, support.QueryInterface(IID_IUnknown, fromSupport));
    EXPECT_EQ(identity.Get(), fromSupport.Get());

    void* none = reinterpret_cast<void*>(0xdeadbeef);
    EXPECT_HR(E_NOINTERFACE, identity->QueryInterface(IID_IClassFactory, &none));
    EXPECT_EQ(nullptr, none);
    EXPECT_HR(E_POINTER, identity->QueryInterface(IID_IDispatch, nullptr));
}

TEST_F(FrameTest, InterfaceSupportsErrorInfo_OnlyForTheDualInterface)
{
    ComPtr<ISupportErrorInfo> support;
    ASSERT_HR(S_OK, m_dll.CreateAuthenticator(nullptr, IID_ISupportErrorInfo, support.PutVoid()));
    EXPECT_HR(S_OK, support->InterfaceSupportsErrorInfo(IID_IVRKsolutionAuthenticator1));
    EXPECT_HR(S_FALSE, support->InterfaceSupportsErrorInfo(IID_IDispatch));
    EXPECT_HR(S_FALSE, support->InterfaceSupportsErrorInfo(IID_IUnknown));
}

// --- Aggregation ---

TEST_F(FrameTest, Aggregated_InnerForwardsCountsToTheOuterAndFallsBackToItsOwnTable)
{
    Outer outer;
    IUnknown* shell = nullptr;
    ASSERT_HR(S_OK, m_dll.CreateAuthenticator(&outer, IID_IUnknown, reinterpret_cast<void**>(&shell)));
    outer.inner = shell;
    EXPECT_EQ(1u, ReferenceCount(shell)) << "the outer object receives the shell with a count of 1";
    EXPECT_EQ(1, outer.count) << "creating the aggregate must not touch the outer object's count";

    IVRKsolutionAuthenticator1* dual = nullptr;
    ASSERT_HR(S_OK, shell->QueryInterface(IID_IVRKsolutionAuthenticator1, reinterpret_cast<void**>(&dual)));
    EXPECT_EQ(2, outer.count) << "the inner object's reference belongs to the outer object";
    EXPECT_EQ(3u, dual->AddRef());
    EXPECT_EQ(2u, dual->Release());

    // The inner object's IUnknown is the outer's.
    IUnknown* identity = nullptr;
    ASSERT_HR(S_OK, dual->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)));
    EXPECT_EQ(static_cast<IUnknown*>(&outer), identity);
    identity->Release();

    // The outer object refuses ISupportErrorInfo; the inner table still answers it.
    const int queriesBefore = outer.queries;
    ISupportErrorInfo* support = nullptr;
    ASSERT_HR(S_OK, dual->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support)));
    EXPECT_GT(outer.queries, queriesBefore) << "the query must go to the outer object first";
    EXPECT_HR(S_OK, support->InterfaceSupportsErrorInfo(IID_IVRKsolutionAuthenticator1));
    support->Release();

    VARIANT_BOOL installed = VARIANT_TRUE;
    EXPECT_HR(S_OK, dual->IsInstalled(&installed));
    EXPECT_EQ(VARIANT_FALSE, installed);

    dual->Release();
    EXPECT_EQ(1, outer.count);
    EXPECT_HR(S_FALSE, m_dll.CanUnloadNow());
    EXPECT_EQ(0u, shell->Release());
}
