// SoakTests.cpp: many threads of the multithreaded apartment use the server at random while the
// fake components fail step by step, one way per phase; afterwards nothing may be left alive and
// the process may not have grown.
// Long soak: build/x64/wine-run.sh build/x64/wineprefix build/x64/bin/soak_tests.exe --seconds 600
#include "authenticator/FakeComponents.h"
#include "server/ServerTestSupport.h"

#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <thread>

namespace VrkTest
{
namespace
{

using Clock = std::chrono::steady_clock;

double g_seconds = 4.0; // the measured run after the warm-up: --seconds S or VRK_SOAK_SECONDS
constexpr int kThreads = 8;
constexpr unsigned kBaseSeed = 20240611; // thread i draws its operations from kBaseSeed + i
constexpr auto kPhaseLength = std::chrono::milliseconds(250);
// From the end of the warm-up to the end of the run the private bytes grew by less than 80 KB and
// the bytes in use on the heaps by less than 16 KB, whatever the length (measured: CI runs and
// 60 s soaks, both architectures, under heap checking); the bounds are three and four times that.
// Private bytes also count what a heap keeps committed after frees, and a small leak fills that
// first (a 32-bit CI run hid 5 bytes per operation so); the heaps' own count is exact. The run
// goes on until a leak of 1 byte per operation on average would exceed the heap bound.
constexpr long long kPrivateGrowthBound = 256 * 1024, kHeapGrowthBound = 64 * 1024;
constexpr long long kLeakDetectingOperations = kHeapGrowthBound;

const CLSID kOtherClass = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};
void* const kPoison = reinterpret_cast<void*>(0xdeadbeef);

// One way the components behave during a phase, and what creating an object then gives.
struct Mode
{
    const char* name;
    bool installed;
    void (*arrange)(FakeScript&);
    HRESULT creation;
    const wchar_t* creationError;
};
const Mode kModes[] = {
    {"healthy", true, [](FakeScript&) {}, S_OK, nullptr},
    {"false verdicts", true, [](FakeScript& s) { s.verdict = VARIANT_FALSE; }, S_OK, nullptr},
    {"not installed", false, [](FakeScript&) {}, S_OK, nullptr},
    {"SSO not creatable", true, [](FakeScript& s) { s.createSingleSignOn = REGDB_E_CLASSNOTREG; }, REGDB_E_CLASSNOTREG,
     L"VRKauth: failed to create signed SSO component"},
    {"no application", true, [](FakeScript& s) { s.getApplication = static_cast<HRESULT>(0x80045678); },
     static_cast<HRESULT>(0x80045678), L"VRKauth: failed to GetPrimaryUserApplication"},
    {"null application", true, [](FakeScript& s) { s.deliverNullApplication = true; }, E_UNEXPECTED,
     L"VRKauth: failed to GetPrimaryUserApplication"},
    {"IPrimaryUserApp3 refused", true, [](FakeScript& s) { s.applicationRefusesApp3 = true; }, E_NOINTERFACE,
     L"VRKauth: QI(IPrimaryUserApp3) failed"},
    {"handle manager not creatable", true, [](FakeScript& s) { s.createHandleManager = E_OUTOFMEMORY; }, E_OUTOFMEMORY,
     L"VRKauth: failed to create signed handle manager component"},
    {"CreateUserHandle fails", true, [](FakeScript& s) { s.createUserHandle = E_ACCESSDENIED; }, S_OK, nullptr},
    // The component writes a true verdict before it fails.
    {"AuthenticateUser fails", true, [](FakeScript& s) { s.authenticateUser = CO_E_SERVER_EXEC_FAILURE; }, S_OK,
     nullptr},
};

// Every interface the object has, then one it has not.
const IID* const kInterfaces[] = {&IID_IUnknown, &IID_IDispatch, &IID_IVRKsolutionAuthenticator1,
                                  &IID_ISupportErrorInfo, &IID_IPersist};
constexpr unsigned kSupportedInterfaces = 4;
const wchar_t* const kNames[] = {L"IsInstalled", L"Authenticate", L"Frobnicate"}; // DISPIDs 1 and 2, then unknown

// What a call asks, in the order a thread draws them.
constexpr int kIsInstalled = 0, kValidUser = 1, kEmptyUser = 2, kNullAnswer = 3;
struct Outcome
{
    HRESULT result;
    const wchar_t* error; // the failure's description; null: no error information
    VARIANT_BOOL answer;
};

// Operation counts by kind, and what the fakes must have counted (made, CreateUserHandle, AuthenticateUser).
const char* const kKindNames[] = {"DllGetClassObject", "CreateInstance", "aggregated", "QueryInterface",
                                  "GetIDsOfNames",     "early-bound",    "Invoke",     "LockServer",
                                  "DllCanUnloadNow"};
constexpr int kKinds = 9;
std::atomic<long long> g_operations[kKinds];
volatile LONG FakeRecord::*const kFakeCounters[] = {&FakeRecord::singleSignOnCreated, &FakeRecord::handleManagerCreated,
                                                    &FakeRecord::createUserHandleCalls,
                                                    &FakeRecord::authenticateUserCalls};
std::atomic<LONG> g_expectedFakeCounts[4];
std::atomic<LONG> g_liveOuters{0};

// A controlling object: answers IUnknown itself and hands every other request to its inner object.
class Outer final : public IUnknown
{
public:
    Outer() { ++g_liveOuters; }
    ~Outer() { --g_liveOuters; }
    IFACEMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (!::IsEqualIID(iid, IID_IUnknown))
            return inner ? inner->QueryInterface(iid, out) : E_NOINTERFACE;
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

    volatile LONG count = 1;
    ComPtr<IUnknown> inner;
};

// One thread's random operations. It keeps an object (standalone or an aggregate) from phase to
// phase and records its first failed check.
class Worker
{
public:
    Worker(const ServerDll& dll, unsigned seed) : seed(seed), m_dll(dll), m_random(seed) {}

    void Run(const Mode& mode, Clock::time_point end)
    {
        ComApartment apartment(COINIT_MULTITHREADED);
        m_mode = &mode;
        while (Clock::now() < end)
        {
            const int kind = m_object ? static_cast<int>(Pick(kKinds)) : 1; // without an object: create one
            (this->*kOperations[kind])();
            ++g_operations[kind];
        }
    }
    void ReleaseObject() { m_object.Reset(); }

    const unsigned seed;
    long long failures = 0;
    std::string firstFailure;

private:
    unsigned Pick(unsigned count) { return m_random() % count; }

    void Expect(bool ok, const std::string& what)
    {
        if (!ok && failures++ == 0)
            firstFailure = what + " (phase \"" + m_mode->name + "\")";
    }
    void ExpectHr(HRESULT expected, HRESULT actual, const char* what)
    {
        Expect(expected == actual,
               std::string(what) + ": expected " + HResultText(expected) + ", actual " + HResultText(actual));
    }
    void ExpectError(const wchar_t* description, const char* what)
    {
        const ErrorInfoSnapshot info = TakeErrorInfo();
        Expect(description ? info.present && info.description == description &&
                                 ::IsEqualGUID(info.guid, IID_IVRKsolutionAuthenticator1)
                           : !info.present,
               what);
    }
    template <typename Interface> ComPtr<Interface> As(const ComPtr<IUnknown>& object, REFIID iid, const char* what)
    {
        ComPtr<Interface> result;
        ExpectHr(S_OK, object.QueryInterface(iid, result), what);
        return result;
    }
    ComPtr<IClassFactory> Factory()
    {
        ComPtr<IClassFactory> factory;
        ExpectHr(S_OK, m_dll.GetFactory(factory), "DllGetClassObject");
        return factory;
    }

    void GetClassObject()
    {
        Expect(Factory() && m_dll.CanUnloadNow() == S_FALSE, "a factory reference must hold the module");
        const bool otherClass = Pick(2);
        void* out = kPoison;
        ExpectHr(otherClass ? CLASS_E_CLASSNOTAVAILABLE : E_NOINTERFACE,
                 m_dll.GetClassObject(otherClass ? kOtherClass : CLSID_VRKsolutionAuthenticator,
                                      otherClass ? IID_IClassFactory : IID_IDispatch, &out),
                 "DllGetClassObject of a wrong class or interface");
        Expect(!out, "a refused DllGetClassObject must set its target null");
    }

    // Standalone for any interface, or inside an outer object that now and then asks for more than
    // IUnknown and is refused before anything is made. A success becomes the thread's object.
    void Create(bool aggregated)
    {
        const unsigned row = Pick(std::size(kInterfaces));
        const bool refused = aggregated && Pick(8) == 0;
        const IID& iid = refused ? IID_IDispatch : aggregated ? IID_IUnknown : *kInterfaces[row];
        const bool connects = !refused && m_mode->installed;
        g_expectedFakeCounts[0] += connects && SUCCEEDED(g_fakeScript.createSingleSignOn);
        g_expectedFakeCounts[1] += connects && SUCCEEDED(m_mode->creation);
        ComPtr<IClassFactory> factory = Factory();
        if (!factory)
            return;
        Outer* outer = aggregated ? new Outer() : nullptr;
        ComPtr<IUnknown> owner = ComPtr<IUnknown>::Attach(outer);
        IUnknown* created = static_cast<IUnknown*>(kPoison);
        ::SetErrorInfo(0, nullptr);
        const HRESULT result = factory->CreateInstance(outer, iid, reinterpret_cast<void**>(&created));
        ExpectHr(refused                                    ? CLASS_E_NOAGGREGATION
                 : FAILED(m_mode->creation)                 ? m_mode->creation
                 : aggregated || row < kSupportedInterfaces ? S_OK
                                                            : E_NOINTERFACE,
                 result, aggregated ? "aggregated CreateInstance" : "CreateInstance");
        ExpectError(refused ? nullptr : m_mode->creationError, "error information of CreateInstance");
        Expect(!outer || outer->count == 1, "creating an aggregate must leave the outer object's count alone");
        if (FAILED(result))
            return Expect(!created, "a failed CreateInstance must set its target null");
        (outer ? outer->inner : owner) = ComPtr<IUnknown>::Attach(created);
        m_object = As<IUnknown>(owner, IID_IUnknown, "QueryInterface for the identity");
        m_connected = m_mode->installed;
    }
    void CreateStandalone() { Create(false); }
    void CreateAggregated() { Create(true); }

    void QueryInterface()
    {
        const unsigned row = Pick(std::size(kInterfaces));
        IUnknown* out = static_cast<IUnknown*>(kPoison);
        const HRESULT result = m_object->QueryInterface(*kInterfaces[row], reinterpret_cast<void**>(&out));
        ExpectHr(row < kSupportedInterfaces ? S_OK : E_NOINTERFACE, result, "QueryInterface");
        if (FAILED(result))
            return Expect(!out, "a refused QueryInterface must set its target null");
        const ComPtr<IUnknown> held = ComPtr<IUnknown>::Attach(out);
        Expect(As<IUnknown>(held, IID_IUnknown, "QueryInterface for IUnknown").Get() == m_object.Get(),
               "every interface must lead back to the object's identity");
        if (kInterfaces[row] == &IID_ISupportErrorInfo)
            ExpectHr(S_OK,
                     static_cast<ISupportErrorInfo*>(out)->InterfaceSupportsErrorInfo(IID_IVRKsolutionAuthenticator1),
                     "InterfaceSupportsErrorInfo");
    }

    void LookUpName()
    {
        const unsigned row = Pick(std::size(kNames));
        const auto dispatch = As<IDispatch>(m_object, IID_IDispatch, "QueryInterface for IDispatch");
        LPOLESTR names[] = {const_cast<LPOLESTR>(kNames[row])};
        DISPID dispid = kPoisonDispid;
        const HRESULT result =
            dispatch ? dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid) : E_NOINTERFACE;
        ExpectHr(row < 2 ? S_OK : DISP_E_UNKNOWNNAME, result, "GetIDsOfNames");
        Expect(row == 2 || dispid == static_cast<DISPID>(row + 1), "GetIDsOfNames gave a wrong DISPID");
    }

    // What a request to this object gives in this phase; counts the component calls it makes.
    Outcome Expected(int request)
    {
        if (request == kIsInstalled)
            return {S_OK, nullptr, m_connected ? VARIANT_TRUE : VARIANT_FALSE};
        if (request == kNullAnswer)
            return {E_POINTER, L"Authenticate: NULL parameter: Valid", VARIANT_FALSE};
        if (!m_connected)
            return {E_FAIL, L"Authenticate: VRKsolution not installed", VARIANT_FALSE};
        if (request == kEmptyUser)
            return {E_INVALIDARG, L"_CreateHandle: missing parameter: User", VARIANT_FALSE};
        ++g_expectedFakeCounts[2];
        if (FAILED(g_fakeScript.createUserHandle))
            return {g_fakeScript.createUserHandle, L"_CreateHandle: failed to create a user handle", VARIANT_FALSE};
        ++g_expectedFakeCounts[3];
        if (FAILED(g_fakeScript.authenticateUser))
            return {g_fakeScript.authenticateUser, L"Authenticate: AuthenticateUser failed", VARIANT_FALSE};
        return {S_OK, nullptr, g_fakeScript.verdict};
    }

    // Late-bound, a failure comes back as DISP_E_EXCEPTION with the error in the exception information.
    void Call(bool lateBound)
    {
        const int request = static_cast<int>(Pick(lateBound ? 3 : 4)); // Invoke always passes a result
        const auto dual =
            As<IVRKsolutionAuthenticator1>(m_object, IID_IVRKsolutionAuthenticator1, "QueryInterface for the dual");
        if (!dual)
            return;
        const Outcome expected = Expected(request);
        Variant domain(L"CORP"), user(request == kEmptyUser ? L"" : L"alice"), result;
        VARIANT_BOOL answer = 0x1234;
        ::SetErrorInfo(0, nullptr);
        if (!lateBound)
        {
            ExpectHr(expected.result,
                     request == kIsInstalled ? dual->IsInstalled(&answer)
                                             : dual->Authenticate(V_BSTR(&domain), V_BSTR(&user),
                                                                  request == kNullAnswer ? nullptr : &answer),
                     "early-bound call");
            Expect(request == kNullAnswer || answer == expected.answer, "early-bound call gave a wrong answer");
            return ExpectError(expected.error, "error information of an early-bound call");
        }
        EXCEPINFO exception = {};
        const HRESULT invoked = request == kIsInstalled
                                    ? InvokeWith(dual.Get(), 1, {}, &result, &exception)
                                    : InvokeWith(dual.Get(), 2, {&domain, &user}, &result, &exception);
        const Veyrak::UniqueBstr source(exception.bstrSource), description(exception.bstrDescription),
            helpFile(exception.bstrHelpFile);
        ExpectHr(FAILED(expected.result) ? DISP_E_EXCEPTION : S_OK, invoked, "Invoke");
        ExpectHr(expected.result, exception.scode, "Invoke's exception code");
        Expect(SUCCEEDED(invoked) ? V_VT(&result) == VT_BOOL && V_BOOL(&result) == expected.answer
                                  : expected.error && exception.bstrDescription &&
                                        std::wcscmp(exception.bstrDescription, expected.error) == 0,
               "Invoke gave a wrong result or exception description");
    }
    void CallEarlyBound() { Call(false); }
    void CallLateBound() { Call(true); }

    void LockServer()
    {
        ComPtr<IClassFactory> factory = Factory();
        if (!factory)
            return;
        ExpectHr(S_OK, factory->LockServer(TRUE), "LockServer(TRUE)");
        factory.Reset();
        ExpectHr(S_FALSE, m_dll.CanUnloadNow(), "DllCanUnloadNow under a server lock");
        if ((factory = Factory()))
            ExpectHr(S_OK, factory->LockServer(FALSE), "LockServer(FALSE)");
    }

    void CanUnloadNow() { ExpectHr(S_FALSE, m_dll.CanUnloadNow(), "DllCanUnloadNow while an object lives"); }

    // In the order of kKindNames.
    static constexpr void (Worker::*kOperations[kKinds])() = {
        &Worker::GetClassObject, &Worker::CreateStandalone, &Worker::CreateAggregated,
        &Worker::QueryInterface, &Worker::LookUpName,       &Worker::CallEarlyBound,
        &Worker::CallLateBound,  &Worker::LockServer,       &Worker::CanUnloadNow};

    const ServerDll& m_dll;
    std::mt19937 m_random;
    const Mode* m_mode = nullptr;
    ComPtr<IUnknown> m_object; // the identity: a standalone object or an aggregate's outer object
    bool m_connected = false;  // made while the product was installed
};

// The process's private bytes (its commit charge). PagefileUsage is documented to hold the same
// value, and is the only one of the two that Wine fills in.
long long PrivateBytes()
{
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    EXPECT_TRUE(::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                       sizeof counters));
    const SIZE_T bytes = counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
    EXPECT_NE(0u, bytes) << "the platform reports no private bytes: the growth check would prove nothing";
    return static_cast<long long>(bytes);
}

long long Operations()
{
    long long total = 0;
    for (const auto& count : g_operations)
        total += count;
    return total;
}

TEST(Soak, RandomOperationsFromManyThreadsWhileComponentsFail_GiveDocumentedResultsAndLeaveNothingBehind)
{
    ResetFakes();
    ComApartment apartment(COINIT_MULTITHREADED); // keeps the apartment, and the fakes registered in it, for the run
    FakeComponentRegistration fakes;
    ServerDll dll;
    ASSERT_TRUE(dll.Loaded());
    ASSERT_HR(S_OK, RegisterServerTypeLibrary());
    std::vector<std::unique_ptr<Worker>> workers;
    for (unsigned index = 0; index < kThreads; ++index)
        workers.push_back(std::make_unique<Worker>(dll, kBaseSeed + index));

    // The fakes' script changes only between phases, while no thread runs.
    auto runPhase = [&](const Mode& mode)
    {
        g_fakeScript = FakeScript();
        mode.arrange(g_fakeScript);
        SetProductInstalled(mode.installed);
        const Clock::time_point end = Clock::now() + kPhaseLength;
        std::vector<std::thread> threads;
        for (auto& worker : workers)
            threads.emplace_back([&worker, &mode, end] { worker->Run(mode, end); });
        for (std::thread& thread : threads)
            thread.join();
    };
    // The warm-up loads the type information and makes the factory, the heaps and the apartment's
    // caches. Both measurements are taken while every thread holds one object.
    runPhase(kModes[0]);
    runPhase(kModes[0]);
    for (auto& count : g_operations)
        count = 0;
    const long long before = PrivateBytes(), heapBefore = HeapBytesInUse();

    // Every mode once in each cycle, in an order drawn afresh per cycle.
    std::vector<const Mode*> order;
    for (const Mode& mode : kModes)
        order.push_back(&mode);
    std::mt19937 shuffler(kBaseSeed);
    const Clock::time_point start = Clock::now();
    for (size_t phase = 0; phase < order.size() || Clock::now() - start < std::chrono::duration<double>(g_seconds) ||
                           Operations() < kLeakDetectingOperations;
         ++phase)
    {
        if (phase % order.size() == 0)
            std::shuffle(order.begin(), order.end(), shuffler);
        runPhase(*order[phase % order.size()]);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const long long after = PrivateBytes(), heapAfter = HeapBytesInUse();
    for (auto& worker : workers)
    {
        worker->ReleaseObject();
        EXPECT_EQ(0, worker->failures) << "thread with seed " << worker->seed << ": " << worker->firstFailure
                                       << ", and " << worker->failures - 1 << " failures more";
    }
    g_fakeScript = FakeScript();
    SetProductInstalled(false);

    for (size_t counter = 0; counter < std::size(kFakeCounters); ++counter)
        EXPECT_EQ(g_expectedFakeCounts[counter].load(), g_fakeRecord.*kFakeCounters[counter])
            << "components made, CreateUserHandle and AuthenticateUser calls: counter " << counter;
    EXPECT_HR(S_OK, dll.CanUnloadNow()) << "an object or lock outlived the run";
    EXPECT_EQ(0, g_fakeRecord.liveReferences) << "a component reference was not released";
    EXPECT_EQ(0, g_liveOuters.load()) << "an aggregate kept its outer object alive";

    std::string perKind;
    for (int kind = 0; kind < kKinds; ++kind)
    {
        EXPECT_LT(0, g_operations[kind].load()) << kKindNames[kind] << " never ran";
        perKind += std::string(kind ? ", " : "") + kKindNames[kind] + " " + std::to_string(g_operations[kind].load());
    }
    std::printf("soak: %d threads, %.1f s, %lld operations (%s), private bytes %lld before, %lld after, heap bytes in "
                "use %lld before, %lld after\n",
                kThreads, seconds, Operations(), perKind.c_str(), before, after, heapBefore, heapAfter);
    EXPECT_LT(after - before, kPrivateGrowthBound) << "the process grew over " << Operations() << " operations";
    EXPECT_LT(heapAfter - heapBefore, kHeapGrowthBound) << "the heaps grew over " << Operations() << " operations";
    EXPECT_HR(S_OK, UnregisterServerTypeLibrary());
}

} // namespace
} // namespace VrkTest

// The run's length comes after GoogleTest has taken its own arguments.
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (const char* text = std::getenv("VRK_SOAK_SECONDS"))
        VrkTest::g_seconds = std::atof(text);
    for (int index = 1; index + 1 < argc; ++index)
        if (std::strcmp(argv[index], "--seconds") == 0)
            VrkTest::g_seconds = std::atof(argv[index + 1]);
    return RUN_ALL_TESTS();
}
