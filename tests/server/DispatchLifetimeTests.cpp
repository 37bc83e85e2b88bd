// DispatchLifetimeTests.cpp: when the type information is loaded and released. Without a
// registered type library every dispatch call fails and the next one tries again; many
// threads' first calls load it once; unloading the DLL releases it and a fresh load works.
#include "server/DispatchTestSupport.h"

#include <atomic>
#include <thread>

namespace VrkTest
{
namespace
{

const DISPID kPoisonDispid = static_cast<DISPID>(0xdeadbeef);

// The product key absent, COM initialised, the DLL loaded and the type library NOT registered.
class UnregisteredServerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetProductInstalled(false);
        ASSERT_TRUE(m_dll.Loaded());
        UnregisterServerTypeLibrary(); // nothing to remove is fine
        m_notRegistered = LoadRegisteredTypeLibraryResult();
        ASSERT_TRUE(FAILED(m_notRegistered)) << HResultText(m_notRegistered);
        // The platform's error for a library that the registry does not know.
        EXPECT_HR(TYPE_E_LIBNOTREGISTERED, m_notRegistered);
        ASSERT_HR(S_OK, m_dll.CreateAuthenticator(m_object));
    }
    void TearDown() override { UnregisterServerTypeLibrary(); }

    ComApartment m_apartment;
    ServerDll m_dll;
    ComPtr<IVRKsolutionAuthenticator1> m_object;
    HRESULT m_notRegistered = S_OK;
};

TEST_F(UnregisteredServerTest, GetIDsOfNames_FailsOnEveryCallUntilTheLibraryIsRegistered)
{
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"IsInstalled")};
    for (int attempt = 0; attempt < 3; ++attempt)
    {
        SCOPED_TRACE(testing::Message() << "attempt " << attempt);
        DISPID dispid = kPoisonDispid;
        EXPECT_HR(m_notRegistered, m_object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid));
        EXPECT_EQ(kPoisonDispid, dispid);
    }

    ASSERT_HR(S_OK, RegisterServerTypeLibrary());
    DISPID dispid = kPoisonDispid;
    EXPECT_HR(S_OK, m_object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid));
    EXPECT_EQ(1, dispid);
}

TEST_F(UnregisteredServerTest, Invoke_FailsOnEveryCallUntilTheLibraryIsRegistered)
{
    for (int attempt = 0; attempt < 3; ++attempt)
    {
        SCOPED_TRACE(testing::Message() << "attempt " << attempt);
        Variant result;
        EXPECT_HR(m_notRegistered, InvokeWith(m_object.Get(), 1, DISPATCH_METHOD, {}, result.Get(), nullptr, nullptr));
        EXPECT_EQ(VT_EMPTY, V_VT(result.Get()));
    }

    ASSERT_HR(S_OK, RegisterServerTypeLibrary());
    Variant result;
    EXPECT_HR(S_OK, InvokeWith(m_object.Get(), 1, DISPATCH_METHOD, {}, result.Get(), nullptr, nullptr));
    EXPECT_EQ(VT_BOOL, V_VT(result.Get()));
    EXPECT_EQ(VARIANT_FALSE, V_BOOL(result.Get()));
}

TEST_F(UnregisteredServerTest, GetTypeInfo_FailsWithTheTargetNullUntilTheLibraryIsRegistered)
{
    for (int attempt = 0; attempt < 2; ++attempt)
    {
        SCOPED_TRACE(testing::Message() << "attempt " << attempt);
        ITypeInfo* typeInfo = reinterpret_cast<ITypeInfo*>(0xdeadbeef);
        EXPECT_HR(m_notRegistered, m_object->GetTypeInfo(0, LOCALE_NEUTRAL, &typeInfo));
        EXPECT_EQ(nullptr, typeInfo);
    }
    // The count needs no type information.
    UINT count = 0;
    EXPECT_HR(S_OK, m_object->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);

    ASSERT_HR(S_OK, RegisterServerTypeLibrary());
    ComPtr<ITypeInfo> typeInfo;
    EXPECT_HR(S_OK, m_object->GetTypeInfo(0, LOCALE_NEUTRAL, typeInfo.Put()));
    EXPECT_TRUE(typeInfo);
}

TEST_F(UnregisteredServerTest, LoadedTypeInformation_OutlivesTheRegistration)
{
    ASSERT_HR(S_OK, RegisterServerTypeLibrary());
    ComPtr<ITypeInfo> loaded;
    ASSERT_HR(S_OK, m_object->GetTypeInfo(0, LOCALE_NEUTRAL, loaded.Put()));
    ASSERT_HR(S_OK, UnregisterServerTypeLibrary());
    ASSERT_TRUE(FAILED(LoadRegisteredTypeLibraryResult()));

    // Loaded once per process: later calls do not go back to the registry.
    ComPtr<ITypeInfo> again;
    EXPECT_HR(S_OK, m_object->GetTypeInfo(0, LOCALE_NEUTRAL, again.Put()));
    EXPECT_EQ(loaded.Get(), again.Get());
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"authenticate")};
    DISPID dispid = kPoisonDispid;
    EXPECT_HR(S_OK, m_object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid));
    EXPECT_EQ(2, dispid);
}

// What one thread saw of its first dispatch calls.
struct ThreadOutcome
{
    HRESULT create = E_UNEXPECTED;
    HRESULT firstCall = E_UNEXPECTED;
    HRESULT getTypeInfo = E_UNEXPECTED;
    HRESULT invoke = E_UNEXPECTED;
    VARTYPE resultType = VT_EMPTY;
    VARIANT_BOOL installed = VARIANT_TRUE;
    DISPID dispid = kPoisonDispid;
    ITypeInfo* typeInfo = nullptr; // a reference, released by the test after comparison
};

// Each thread makes its own object, waits for all the others, then races to the first
// dispatch call: a third through GetIDsOfNames, a third through Invoke, a third through
// GetTypeInfo.
void RunFirstDispatchCalls(IClassFactory* factory, int threadIndex, int threadCount, std::atomic<int>& ready,
                           ThreadOutcome& outcome)
{
    ComApartment apartment(COINIT_MULTITHREADED);
    ComPtr<IDispatch> object;
    outcome.create = factory->CreateInstance(nullptr, IID_IDispatch, object.PutVoid());
    ready.fetch_add(1);
    while (ready.load() < threadCount)
        std::this_thread::yield();
    if (FAILED(outcome.create))
        return;

    LPOLESTR names[] = {const_cast<LPOLESTR>(L"IsInstalled")};
    Variant result;
    switch (threadIndex % 3)
    {
        case 0:
            outcome.firstCall = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &outcome.dispid);
            break;
        case 1:
            outcome.firstCall = InvokeWith(object.Get(), 1, DISPATCH_METHOD, {}, result.Get(), nullptr, nullptr);
            break;
        default:
            outcome.firstCall = object->GetTypeInfo(0, LOCALE_NEUTRAL, &outcome.typeInfo);
            break;
    }
    if (!outcome.typeInfo)
        outcome.getTypeInfo = object->GetTypeInfo(0, LOCALE_NEUTRAL, &outcome.typeInfo);
    else
        outcome.getTypeInfo = S_OK;
    if (outcome.dispid == kPoisonDispid)
        object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &outcome.dispid);
    ::VariantClear(result.Get());
    outcome.invoke = InvokeWith(object.Get(), 1, DISPATCH_METHOD, {}, result.Get(), nullptr, nullptr);
    outcome.resultType = V_VT(result.Get());
    outcome.installed = V_BOOL(result.Get());
}

using DispatchConcurrencyTest = RegisteredServerTest;

TEST_F(DispatchConcurrencyTest, FirstCallsFromManyThreads_LoadOneTypeInformation_ReleasedAtUnloadAndLoadedAgain)
{
    constexpr int kThreadCount = 24;
    ComPtr<ITypeInfo> shared;
    {
        ComPtr<IClassFactory> factory;
        ASSERT_HR(S_OK, m_dll.GetFactory(factory));
        std::vector<ThreadOutcome> outcomes(kThreadCount);
        std::atomic<int> ready{0};
        std::vector<std::thread> threads;
        for (int index = 0; index < kThreadCount; ++index)
            threads.emplace_back(RunFirstDispatchCalls, factory.Get(), index, kThreadCount, std::ref(ready),
                                 std::ref(outcomes[index]));
        for (std::thread& thread : threads)
            thread.join();

        shared = ComPtr<ITypeInfo>::Copy(outcomes[0].typeInfo);
        for (int index = 0; index < kThreadCount; ++index)
        {
            SCOPED_TRACE(testing::Message() << "thread " << index);
            const ThreadOutcome& outcome = outcomes[index];
            EXPECT_HR(S_OK, outcome.create);
            EXPECT_HR(S_OK, outcome.firstCall);
            EXPECT_HR(S_OK, outcome.getTypeInfo);
            EXPECT_EQ(1, outcome.dispid);
            EXPECT_HR(S_OK, outcome.invoke);
            EXPECT_EQ(VT_BOOL, outcome.resultType);
            EXPECT_EQ(VARIANT_FALSE, outcome.installed);
            EXPECT_NE(nullptr, outcome.typeInfo);
            EXPECT_EQ(shared.Get(), outcome.typeInfo);
            if (outcome.typeInfo)
                outcome.typeInfo->Release();
        }
    }
    ASSERT_TRUE(shared);

    // Every object and the factory are gone: the DLL may go, and takes its reference along.
    ASSERT_HR(S_OK, m_dll.CanUnloadNow());
    const ULONG withServer = ReferenceCount(shared.Get());
    m_dll.Unload();
    ASSERT_EQ(nullptr, ::GetModuleHandleA(kServerDllName)) << "the DLL stayed loaded";
    // Exactly the server's one reference went: ours is the only one left.
    EXPECT_EQ(withServer - 1, ReferenceCount(shared.Get()));
    EXPECT_EQ(1u, ReferenceCount(shared.Get()));
    shared.Reset();

    // A fresh load starts empty and loads the type information again.
    ServerDll reloaded;
    ASSERT_TRUE(reloaded.Loaded());
    ComPtr<IVRKsolutionAuthenticator1> object;
    ASSERT_HR(S_OK, reloaded.CreateAuthenticator(object));
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Authenticate")};
    DISPID dispid = kPoisonDispid;
    EXPECT_HR(S_OK, object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid));
    EXPECT_EQ(2, dispid);
    Variant result;
    EXPECT_HR(S_OK, InvokeWith(object.Get(), 1, DISPATCH_METHOD, {}, result.Get(), nullptr, nullptr));
    EXPECT_EQ(VT_BOOL, V_VT(result.Get()));
    ComPtr<ITypeInfo> typeInfo;
    EXPECT_HR(S_OK, object->GetTypeInfo(0, LOCALE_NEUTRAL, typeInfo.Put()));
    EXPECT_TRUE(typeInfo);
    typeInfo.Reset();
    object.Reset();
    EXPECT_HR(S_OK, reloaded.CanUnloadNow());
}

} // namespace
} // namespace VrkTest
