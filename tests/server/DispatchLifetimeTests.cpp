// DispatchLifetimeTests.cpp: when the type information is loaded and released. Without a
// registered type library every dispatch call fails and the next one tries again; many
// threads' first calls load it once; unloading the DLL releases it and a fresh load works.
#include "server/ServerTestSupport.h"

#include <atomic>
#include <thread>

namespace VrkTest
{
namespace
{

enum Call
{
    kGetIDsOfNames,
    kInvoke,
    kGetTypeInfo
};
const char* const kCallNames[] = {"GetIDsOfNames", "Invoke", "GetTypeInfo"};

// One dispatch call about IsInstalled; the type information it received, if it asked for it.
HRESULT DispatchCall(IDispatch* object, Call call, DISPID& dispid, VARIANT& result, ITypeInfo*& typeInfo)
{
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"IsInstalled")};
    switch (call)
    {
        case kGetIDsOfNames:
            return object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid);
        case kInvoke:
            return InvokeWith(object, 1, {}, &result);
        default:
            return object->GetTypeInfo(0, LOCALE_NEUTRAL, &typeInfo);
    }
}

// Without the registered library each call fails as LoadRegTypeLib does and leaves its output
// empty; the first call after registering (the parameter) succeeds, and the loaded information
// outlives the registration.
class UnregisteredLibraryTest : public ::testing::TestWithParam<Call>
{
protected:
    ComApartment m_apartment;
    ServerDll m_dll;
};

TEST_P(UnregisteredLibraryTest, EveryCallFailsUntilTheLibraryIsRegistered)
{
    SetProductInstalled(false);
    UnregisterServerTypeLibrary();
    ComPtr<ITypeLib> library;
    const HRESULT notRegistered = ::LoadRegTypeLib(LIBID_VRKSOLAUTHLib, 1, 0, 0, library.Put());
    EXPECT_HR(TYPE_E_LIBNOTREGISTERED, notRegistered);
    ComPtr<IDispatch> object;
    ASSERT_HR(S_OK, m_dll.CreateAuthenticator(nullptr, IID_IDispatch, object.PutVoid()));

    for (int attempt = 0; attempt < 2; ++attempt)
    {
        for (Call call : {kGetIDsOfNames, kInvoke, kGetTypeInfo})
        {
            SCOPED_TRACE(testing::Message() << "attempt " << attempt << ", " << kCallNames[call]);
            DISPID dispid = kPoisonDispid;
            Variant result;
            ITypeInfo* typeInfo = reinterpret_cast<ITypeInfo*>(0xdeadbeef);
            EXPECT_HR(notRegistered, DispatchCall(object.Get(), call, dispid, result, typeInfo));
            EXPECT_EQ(kPoisonDispid, dispid);
            EXPECT_EQ(VT_EMPTY, V_VT(&result));
            if (call == kGetTypeInfo)
            {
                EXPECT_EQ(nullptr, typeInfo);
            }
        }
    }
    UINT count = 0;
    EXPECT_HR(S_OK, object->GetTypeInfoCount(&count)) << "the count needs no type information";
    // A client that keeps calling on an unregistered library must not make the server grow.
    const long long heapBefore = HeapBytesInUse();
    for (int call = 0; call < 20000; ++call)
    {
        DISPID dispid;
        Variant result;
        ITypeInfo* typeInfo = nullptr;
        DispatchCall(object.Get(), GetParam(), dispid, result, typeInfo);
    }
    EXPECT_LT(HeapBytesInUse() - heapBefore, 64 * 1024) << "20000 failed calls";

    ASSERT_HR(S_OK, RegisterServerTypeLibrary());
    for (bool registered : {true, false})
    {
        SCOPED_TRACE(registered ? "registered" : "registration removed after loading");
        DISPID dispid = kPoisonDispid;
        Variant result;
        ComPtr<ITypeInfo> typeInfo;
        EXPECT_HR(S_OK, DispatchCall(object.Get(), GetParam(), dispid, result, *typeInfo.Put()));
        // Each call's own output, and only that one.
        EXPECT_EQ(GetParam() == kGetIDsOfNames ? 1 : kPoisonDispid, dispid);
        EXPECT_EQ(GetParam() == kInvoke ? VT_BOOL : VT_EMPTY, V_VT(&result));
        EXPECT_EQ(GetParam() == kGetTypeInfo, static_cast<bool>(typeInfo));
        if (registered)
        {
            ASSERT_HR(S_OK, UnregisterServerTypeLibrary());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(FirstCall, UnregisteredLibraryTest, ::testing::Values(kGetIDsOfNames, kInvoke, kGetTypeInfo),
                         [](const ::testing::TestParamInfo<Call>& info)
                         { return std::string(kCallNames[info.param]); });

// What one thread saw of its first dispatch call (by thread: GetIDsOfNames, Invoke or GetTypeInfo).
struct ThreadOutcome
{
    Call first = kGetIDsOfNames;
    HRESULT firstCall = E_UNEXPECTED;
    DISPID dispid = kPoisonDispid;
    Variant result;
    ITypeInfo* typeInfo = nullptr; // a reference, released by the test
};

void RunFirstDispatchCall(IClassFactory* factory, int threadCount, std::atomic<int>& ready, ThreadOutcome& outcome)
{
    ComApartment apartment(COINIT_MULTITHREADED);
    ComPtr<IDispatch> object;
    const HRESULT created = factory->CreateInstance(nullptr, IID_IDispatch, object.PutVoid());
    ready.fetch_add(1);
    while (ready.load() < threadCount)
        std::this_thread::yield();
    if (FAILED(created))
        return;
    outcome.firstCall = DispatchCall(object.Get(), outcome.first, outcome.dispid, outcome.result, outcome.typeInfo);
    if (!outcome.typeInfo)
        object->GetTypeInfo(0, LOCALE_NEUTRAL, &outcome.typeInfo);
}

using DispatchConcurrencyTest = RegisteredServerTest;

TEST_F(DispatchConcurrencyTest, FirstCallsFromManyThreads_LoadOneTypeInformation_ReleasedAtUnloadAndLoadedAgain)
{
    constexpr int kThreadCount = 24;
    m_object.Reset();
    ComPtr<ITypeInfo> shared;
    {
        ComPtr<IClassFactory> factory;
        ASSERT_HR(S_OK, m_dll.GetFactory(factory));
        std::vector<ThreadOutcome> outcomes(kThreadCount);
        std::atomic<int> ready{0};
        std::vector<std::thread> threads;
        for (int index = 0; index < kThreadCount; ++index)
        {
            outcomes[index].first = static_cast<Call>(index % 3);
            threads.emplace_back(RunFirstDispatchCall, factory.Get(), kThreadCount, std::ref(ready),
                                 std::ref(outcomes[index]));
        }
        for (std::thread& thread : threads)
            thread.join();

        shared = ComPtr<ITypeInfo>::Copy(outcomes[0].typeInfo);
        for (int index = 0; index < kThreadCount; ++index)
        {
            SCOPED_TRACE(testing::Message() << "thread " << index);
            const ThreadOutcome& outcome = outcomes[index];
            EXPECT_HR(S_OK, outcome.firstCall);
            EXPECT_EQ(outcome.first == kGetIDsOfNames ? 1 : kPoisonDispid, outcome.dispid);
            EXPECT_EQ(outcome.first == kInvoke ? VT_BOOL : VT_EMPTY, V_VT(&outcome.result));
            EXPECT_EQ(shared.Get(), outcome.typeInfo);
            if (outcome.typeInfo)
                outcome.typeInfo->Release();
        }
    }
    ASSERT_TRUE(shared);

    // Every object and the factory are gone: the DLL may go, and takes exactly its one reference along.
    ASSERT_HR(S_OK, m_dll.CanUnloadNow());
    m_dll.Unload();
    ASSERT_EQ(nullptr, ::GetModuleHandleA("vrksolauth.dll")) << "the DLL stayed loaded";
    EXPECT_EQ(1u, ReferenceCount(shared.Get())) << "the server's reference went with it";
    shared.Reset();

    ServerDll reloaded;
    ComPtr<IDispatch> object;
    ASSERT_HR(S_OK, reloaded.CreateAuthenticator(nullptr, IID_IDispatch, object.PutVoid()));
    Variant result;
    EXPECT_HR(S_OK, InvokeWith(object.Get(), 1, {}, &result));
    EXPECT_EQ(VT_BOOL, V_VT(&result));
}

} // namespace
} // namespace VrkTest
