// Tests of the server frame through the DLL's exports: the class factory cache, module
// locking, object identity and reference counts, aggregation.
#include "support/ServerTest.h"

using namespace VrkTest;

namespace
{

using FrameTest = ServerTest;
const CLSID kOtherClass = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};

// A request with a null target fails with E_POINTER; with a poisoned one, as expected and with the target null.
template <typename Call> void ExpectBadRequest(const char* label, HRESULT expected, Call call)
{
    SCOPED_TRACE(label);
    EXPECT_HR(E_POINTER, call(nullptr));
    void* target = reinterpret_cast<void*>(0xdeadbeef);
    EXPECT_HR(expected, call(&target));
    EXPECT_EQ(nullptr, target);
}

} // namespace

TEST_F(FrameTest, BadRequests_FailWithEPointerOrTheirErrorAndTheTargetNull)
{
    ComPtr<IClassFactory> factory;
    ComPtr<IUnknown> object;
    ASSERT_HR(S_OK, m_dll.GetFactory(factory));
    ASSERT_HR(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, object.PutVoid()));
    ComPtr<Outer> outer = ComPtr<Outer>::Attach(new Outer);
    ExpectBadRequest("unknown class", CLASS_E_CLASSNOTAVAILABLE,
                     [&](void** out) { return m_dll.GetClassObject(kOtherClass, IID_IClassFactory, out); });
    ExpectBadRequest("factory as IDispatch", E_NOINTERFACE,
                     [&](void** out)
                     { return m_dll.GetClassObject(CLSID_VRKsolutionAuthenticator, IID_IDispatch, out); });
    ExpectBadRequest("aggregate asked for IDispatch", CLASS_E_NOAGGREGATION,
                     [&](void** out) { return factory->CreateInstance(outer.Get(), IID_IDispatch, out); });
    ExpectBadRequest("object as IClassFactory", E_NOINTERFACE,
                     [&](void** out) { return factory->CreateInstance(nullptr, IID_IClassFactory, out); });
    ExpectBadRequest("QueryInterface for IClassFactory", E_NOINTERFACE,
                     [&](void** out) { return object->QueryInterface(IID_IClassFactory, out); });
    EXPECT_EQ(1, outer->count);
}

// The factory is made once and cached, for IClassFactory and IUnknown alike; its outside
// references, server locks and objects each keep the module.
TEST_F(FrameTest, CanUnloadNow_FollowsOutsideReferencesOfTheCachedFactoryServerLocksAndObjects)
{
    EXPECT_HR(S_OK, m_dll.CanUnloadNow());
    ComPtr<IClassFactory> factory, again;
    ComPtr<IUnknown> identity;
    ASSERT_HR(S_OK, m_dll.GetFactory(factory));
    ASSERT_HR(S_OK, m_dll.GetFactory(again));
    ASSERT_HR(S_OK, m_dll.GetClassObject(CLSID_VRKsolutionAuthenticator, IID_IUnknown, identity.PutVoid()));
    EXPECT_EQ(factory.Get(), again.Get());
    EXPECT_EQ(static_cast<IUnknown*>(factory.Get()), identity.Get());
    EXPECT_EQ(4u, ReferenceCount(factory.Get())) << "the cache's reference plus our three";
    again.Reset();
    identity.Reset();
    EXPECT_HR(S_FALSE, m_dll.CanUnloadNow());
    EXPECT_HR(S_OK, factory->LockServer(TRUE));
    EXPECT_HR(S_FALSE, m_dll.CanUnloadNow()) << "a lock added to the factory's own";
    EXPECT_HR(S_OK, factory->LockServer(TRUE));
    factory.Reset();
    EXPECT_HR(S_FALSE, m_dll.CanUnloadNow());

    ASSERT_HR(S_OK, m_dll.GetFactory(factory));
    EXPECT_HR(S_OK, factory->LockServer(FALSE));
    EXPECT_HR(S_OK, factory->LockServer(FALSE));
    factory.Reset();
    EXPECT_HR(S_OK, m_dll.CanUnloadNow());

    ComPtr<IUnknown> object;
    ASSERT_HR(S_OK, m_dll.CreateAuthenticator(nullptr, IID_IUnknown, object.PutVoid()));
    EXPECT_HR(S_FALSE, m_dll.CanUnloadNow());
}

TEST_F(FrameTest, Standalone_DualInterfaceIsTheIdentityAndErrorInfoIsForTheDualOnly)
{
    ComPtr<IUnknown> identity, fromSupport;
    ComPtr<IDispatch> dispatch;
    ComPtr<IVRKsolutionAuthenticator1> dual;
    ComPtr<ISupportErrorInfo> support;
    ASSERT_HR(S_OK, m_dll.CreateAuthenticator(nullptr, IID_IUnknown, identity.PutVoid()));
    ASSERT_HR(S_OK, identity.QueryInterface(IID_IDispatch, dispatch));
    ASSERT_HR(S_OK, identity.QueryInterface(IID_IVRKsolutionAuthenticator1, dual));
    ASSERT_HR(S_OK, identity.QueryInterface(IID_ISupportErrorInfo, support));
    ASSERT_HR(S_OK, support.QueryInterface(IID_IUnknown, fromSupport));
    EXPECT_EQ(identity.Get(), static_cast<IUnknown*>(dispatch.Get()));
    EXPECT_EQ(identity.Get(), static_cast<IUnknown*>(dual.Get()));
    EXPECT_NE(identity.Get(), static_cast<IUnknown*>(support.Get()));
    EXPECT_EQ(identity.Get(), fromSupport.Get());
    EXPECT_HR(S_OK, support->InterfaceSupportsErrorInfo(IID_IVRKsolutionAuthenticator1));
    EXPECT_HR(S_FALSE, support->InterfaceSupportsErrorInfo(IID_IDispatch));
}

// The outer object is asked first and refuses ISupportErrorInfo; the inner table answers it.
TEST_F(FrameTest, Aggregated_InnerForwardsCountsToTheOuterAndFallsBackToItsOwnTable)
{
    ComPtr<Outer> outer = ComPtr<Outer>::Attach(new Outer(&IID_ISupportErrorInfo));
    ASSERT_HR(S_OK, m_dll.CreateAuthenticator(outer.Get(), IID_IUnknown, outer->inner.PutVoid()));
    IUnknown* const shell = outer->inner.Get();
    EXPECT_EQ(1u, ReferenceCount(shell)) << "the outer object receives the shell with a count of 1";
    EXPECT_EQ(1, outer->count) << "creating the aggregate must not touch the outer object's count";
    EXPECT_HR(E_POINTER, shell->QueryInterface(IID_IUnknown, nullptr));

    ComPtr<IVRKsolutionAuthenticator1> dual;
    ComPtr<IUnknown> identity;
    ComPtr<ISupportErrorInfo> support;
    ASSERT_HR(S_OK, outer->inner.QueryInterface(IID_IVRKsolutionAuthenticator1, dual));
    EXPECT_EQ(2, outer->count) << "the inner object's reference belongs to the outer object";
    EXPECT_EQ(3u, dual->AddRef());
    EXPECT_EQ(2u, dual->Release());
    ASSERT_HR(S_OK, dual.QueryInterface(IID_IUnknown, identity));
    EXPECT_EQ(static_cast<IUnknown*>(outer.Get()), identity.Get());
    identity.Reset();

    const int queriesBefore = outer->queries;
    ASSERT_HR(S_OK, dual.QueryInterface(IID_ISupportErrorInfo, support));
    EXPECT_GT(outer->queries, queriesBefore);
    EXPECT_HR(S_OK, support->InterfaceSupportsErrorInfo(IID_IVRKsolutionAuthenticator1));
    support.Reset();
    dual.Reset();
    EXPECT_EQ(1, outer->count);
    EXPECT_EQ(1u, ReferenceCount(shell)) << "every reference through the inner object went back";
    EXPECT_HR(S_FALSE, m_dll.CanUnloadNow());
}
