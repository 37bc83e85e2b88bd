// DispatchLifetimeTests.cpp: when the type information is loaded and released. Without a
// registered type library every dispatch call fails and the next one tries again; many
// threads' first calls load it once; unloading the DLL releases it.
#include "support/ServerTest.h"

#include <atomic>
#include <thread>

using namespace VrkTest;

namespace
{

enum Call
{
    kGetIDsOfNames,
    kInvoke,
    kGetTypeInfo
};
const char* const kCallNames[] = {"GetIDsOfNames", "Invoke", "GetTypeInfo"};
ITypeInfo* const kPoisonTypeInfo = reinterpret_cast<ITypeInfo*>(0xdeadbeef);

// One dispatch call about IsInstalled into poisoned outputs, and what it wrote.
struct Dispatched
{
    Dispatched(IDispatch* object, Call call) : call(call)
    {
        LPOLESTR names[] = {const_cast<LPOLESTR>(L"IsInstalled")};
        ITypeInfo* info = kPoisonTypeInfo;
        result = call == kGetIDsOfNames ? object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid)
                 : call == kInvoke      ? InvokeWith(object, 1, {}, &answer)
                                        : object->GetTypeInfo(0, LOCALE_NEUTRAL, &info);
        typeInfoWritten = info != kPoisonTypeInfo;
        typeInfo = ComPtr<ITypeInfo>::Attach(typeInfoWritten ? info : nullptr);
    }
    // The call's own output holds its answer; on failure GetIDsOfNames leaves it alone, Invoke leaves
    // it empty and GetTypeInfo writes null there.
    void ExpectOutput(HRESULT expected) const
    {
        SCOPED_TRACE(kCallNames[call]);
        EXPECT_HR(expected, result);
        const bool succeeded = SUCCEEDED(expected);
        // By call: the DISPID, the result's type, whether a type information came (-1: nothing written).
        const long expectedOutput[] = {succeeded ? 1 : kPoisonDispid, succeeded ? VT_BOOL : VT_EMPTY, succeeded};
        const long output[] = {dispid, V_VT(&answer), typeInfoWritten ? static_cast<bool>(typeInfo) : -1};
        EXPECT_EQ(expectedOutput[call], output[call]);
    }

    const Call call;
    HRESULT result;
    DISPID dispid = kPoisonDispid;
    Variant answer;
    bool typeInfoWritten;
    ComPtr<ITypeInfo> typeInfo;
};

// Without the registered library each call fails as LoadRegTypeLib does; the first call after
// registering (the parameter) succeeds, and the loaded information outlives the registration.
class UnregisteredLibraryTest : public ServerTest, public ::testing::WithParamInterface<Call>
{
};

TEST_P(UnregisteredLibraryTest, EveryCallFailsUntilTheLibraryIsRegistered)
{
    UnregisterServerTypeLibrary();
    ComPtr<ITypeLib> library;
    const HRESULT notRegistered = ::LoadRegTypeLib(LIBID_VRKSOLAUTHLib, 1, 0, 0, library.Put());
    EXPECT_HR(TYPE_E_LIBNOTREGISTERED, notRegistered);
    ComPtr<IDispatch> object;
    ASSERT_HR(S_OK, m_dll.CreateAuthenticator(nullptr, IID_IDispatch, object.PutVoid()));
    for (int attempt = 0; attempt < 2; ++attempt)
        for (Call call : {kGetIDsOfNames, kInvoke, kGetTypeInfo})
            Dispatched(object.Get(), call).ExpectOutput(notRegistered);
    UINT count = 0;
    EXPECT_HR(S_OK, object->GetTypeInfoCount(&count)) << "the count needs no type information";

    // A client that keeps calling on an unregistered library must not make the server grow.
    const long long heapBefore = HeapBytesInUse();
    for (int call = 0; call < 20000; ++call)
        Dispatched(object.Get(), GetParam());
    EXPECT_LT(HeapBytesInUse() - heapBefore, 64 * 1024) << "20000 failed calls";

    ASSERT_HR(S_OK, RegisterServerTypeLibrary());
    Dispatched(object.Get(), GetParam()).ExpectOutput(S_OK);
    ASSERT_HR(S_OK, UnregisterServerTypeLibrary());
    SCOPED_TRACE("registration removed after loading");
    Dispatched(object.Get(), GetParam()).ExpectOutput(S_OK);
}

INSTANTIATE_TEST_SUITE_P(FirstCall, UnregisteredLibraryTest, ::testing::Values(kGetIDsOfNames, kInvoke, kGetTypeInfo),
                         [](const ::testing::TestParamInfo<Call>& info)
                         { return std::string(kCallNames[info.param]); });

using DispatchConcurrencyTest = RegisteredServerTest;

TEST_F(DispatchConcurrencyTest, FirstCallsFromManyThreads_LoadOneTypeInformation_ReleasedAtUnload)
{
    constexpr int kThreadCount = 24;
    m_object.Reset();
    ComPtr<ITypeInfo> shared;
    {
        ComPtr<IClassFactory> factory;
        ASSERT_HR(S_OK, m_dll.GetFactory(factory));
        // Each thread's first call (GetIDsOfNames, Invoke or GetTypeInfo), then the type information it sees.
        std::vector<ComPtr<ITypeInfo>> seen(kThreadCount);
        std::atomic<int> ready{0};
        std::vector<std::thread> threads;
        for (int index = 0; index < kThreadCount; ++index)
            threads.emplace_back(
                [&, index]
                {
                    SCOPED_TRACE(testing::Message() << "thread " << index);
                    ComApartment apartment(COINIT_MULTITHREADED);
                    ComPtr<IDispatch> object;
                    const HRESULT created = factory->CreateInstance(nullptr, IID_IDispatch, object.PutVoid());
                    for (++ready; ready.load() < kThreadCount;)
                        std::this_thread::yield();
                    ASSERT_HR(S_OK, created);
                    const Dispatched first(object.Get(), static_cast<Call>(index % 3));
                    object->GetTypeInfo(0, LOCALE_NEUTRAL, seen[index].Put());
                    first.ExpectOutput(S_OK);
                    EXPECT_TRUE(!first.typeInfo || first.typeInfo.Get() == seen[index].Get());
                });
        for (std::thread& thread : threads)
            thread.join();
        shared = seen[0];
        for (const ComPtr<ITypeInfo>& info : seen)
            EXPECT_EQ(shared.Get(), info.Get());
    }
    ASSERT_TRUE(shared);

    // Every object and the factory are gone: the DLL may go, and takes exactly its one reference along.
    ASSERT_HR(S_OK, m_dll.CanUnloadNow());
    m_dll.Unload();
    ASSERT_EQ(nullptr, ::GetModuleHandleA("vrksolauth.dll")) << "the DLL stayed loaded";
    EXPECT_EQ(1u, ReferenceCount(shared.Get())) << "the server's reference went with it";
}

} // namespace
