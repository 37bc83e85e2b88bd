// Tests of the substitute components through vrksimulator.dll's exports.
#include "SimulatorTestSupport.h"

#include "simulator/ComponentSupport.h"

using namespace VrkTest;
using namespace Veyrak;

namespace
{

constexpr HRESULT kMalformedHandle = static_cast<HRESULT>(0x80040301);
constexpr HRESULT kRehearsed = static_cast<HRESULT>(0x80041234);

class ComponentTest : public SimulatorTest
{
protected:
    void TearDown() override
    {
        EXPECT_HR(S_OK, m_dll.CanUnloadNow()) << "an object or factory outlived its test";
        SimulatorTest::TearDown();
    }

    template <typename Interface> ComPtr<Interface> Create(REFCLSID clsid, REFIID iid, HRESULT expected = S_OK)
    {
        ComPtr<Interface> object;
        EXPECT_HR(expected, m_dll.Create(clsid, iid, object.PutVoid()));
        return object;
    }
    ComPtr<IPrimaryUserApp3> NewApplication()
    {
        auto sso = Create<ISingleSignOn>(CLSID_VeyrakSingleSignOn, IID_ISingleSignOn);
        ComPtr<IUnknown> unknown;
        ComPtr<IPrimaryUserApp3> application;
        EXPECT_HR(S_OK, sso ? sso->GetPrimaryUserApplication(unknown.Put()) : E_UNEXPECTED);
        EXPECT_HR(S_OK, unknown ? unknown.QueryInterface(IID_IPrimaryUserApp3, application) : E_POINTER);
        return application;
    }

    SimulatorDll m_dll;
};

} // namespace

TEST_F(ComponentTest, Interfaces_AreThoseOfEachClassAndTheApplicationHasIDispatchWithoutTypeInformation)
{
    void* object = reinterpret_cast<void*>(0xdeadbeef);
    EXPECT_HR(CLASS_E_CLASSNOTAVAILABLE, m_dll.GetClassObject(IID_IPrimaryUserApp3, IID_IClassFactory, &object));
    EXPECT_EQ(nullptr, object);
    Create<IUnknown>(CLSID_VeyrakSingleSignOn, IID_IHandleManager, E_NOINTERFACE);
    Create<IUnknown>(CLSID_VeyrakHandleManager, IID_IDispatch, E_NOINTERFACE);

    ComPtr<IPrimaryUserApp3> application = NewApplication();
    ComPtr<IDispatch> dispatch;
    ASSERT_HR(S_OK, application ? application.QueryInterface(IID_IDispatch, dispatch) : E_UNEXPECTED);
    UINT count = 0xdeadbeef;
    EXPECT_HR(S_OK, dispatch->GetTypeInfoCount(&count));
    EXPECT_EQ(0u, count);
    UniqueBstr name;
    EXPECT_HR(S_OK, application->GetApplicationName(name.put()));
    EXPECT_STREQ(L"VRKsolution Simulator", name.get());
}

TEST_F(ComponentTest, CreateUserHandle_ChecksItsArgumentsAndEncodesANullDomainAsEmpty)
{
    auto manager = Create<IHandleManager>(CLSID_VeyrakHandleManager, IID_IHandleManager);
    ASSERT_TRUE(manager);
    const std::wstring longest(99999, L'n'), tooLong = longest + L"n";
    UniqueBstr user = Bstr(longest.c_str()), handle;
    EXPECT_HR(E_POINTER, manager->CreateUserHandle(nullptr, user.get(), 0, nullptr));
    EXPECT_HR(S_OK, manager->CreateUserHandle(nullptr, user.get(), 0, handle.put()));
    EXPECT_EQ(L"VRKH1:0::99999:" + longest, handle ? handle.get() : L"<null>");

    const std::pair<const wchar_t*, const wchar_t*> refused[] = {
        {L"CORP", nullptr}, {L"CORP", L""}, {L"CORP", tooLong.c_str()}, {tooLong.c_str(), L"anna"}};
    for (const auto& [domainText, userText] : refused)
    {
        SCOPED_TRACE(::testing::Message() << "user of length " << (userText ? wcslen(userText) : 0));
        UniqueBstr domain = Bstr(domainText), refusedUser = Bstr(userText);
        BSTR poisoned = reinterpret_cast<BSTR>(0xdeadbeef);
        EXPECT_HR(E_INVALIDARG, manager->CreateUserHandle(domain.get(), refusedUser.get(), 0, &poisoned));
        EXPECT_EQ(nullptr, poisoned);
    }
}

TEST_F(ComponentTest, AuthenticateUser_GivesTheDirectorysVerdictOrRefusesAMalformedHandle)
{
    AddUser("CORP", "anna", 1);
    AddUser("CORP", "bob", 0);
    AddUser("A:B", "c:d", 1);
    AddUser("CORP", "seven", 7);
    WriteString(HKEY_LOCAL_MACHINE, SettingsKey("Users\\CORP\\text"), "Enabled", "1");
    auto manager = Create<IHandleManager>(CLSID_VeyrakHandleManager, IID_IHandleManager);
    ComPtr<IPrimaryUserApp3> application = NewApplication();
    ASSERT_TRUE(manager && application);
    const struct
    {
        const wchar_t* domain;
        const wchar_t* user;
        VARIANT_BOOL expected;
    } rows[] = {{L"CORP", L"anna", VARIANT_TRUE},  {L"corp", L"ANNA", VARIANT_TRUE},
                {L"A:B", L"c:d", VARIANT_TRUE},    {L"CORP", L"seven", VARIANT_TRUE},
                {L"CORP", L"bob", VARIANT_FALSE},  {L"CORP", L"text", VARIANT_FALSE},
                {L"CORP", L"carl", VARIANT_FALSE}, {L"OTHER", L"anna", VARIANT_FALSE},
                {L"", L"anna", VARIANT_FALSE},     {L"CORP\\x", L"anna", VARIANT_FALSE}};
    for (const auto& row : rows)
    {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(row.domain) + L"\\" + row.user));
        UniqueBstr domain = Bstr(row.domain), user = Bstr(row.user), handle;
        ASSERT_HR(S_OK, manager->CreateUserHandle(domain.get(), user.get(), 0, handle.put()));
        VARIANT_BOOL verdict = static_cast<VARIANT_BOOL>(0x1234);
        EXPECT_HR(S_OK, application->AuthenticateUser(handle.get(), &verdict));
        EXPECT_EQ(row.expected, verdict);
    }

    // A name with a zero inside is no key name, even where the part before it is one.
    AddUser("CORP", "an", 1);
    UniqueBstr zeroInside(::SysAllocStringLen(L"VRKH1:4:CORP:5:an\0na", 20));
    VARIANT_BOOL verdict = VARIANT_TRUE;
    EXPECT_HR(S_OK, application->AuthenticateUser(zeroInside.get(), &verdict));
    EXPECT_EQ(VARIANT_FALSE, verdict);

    EXPECT_HR(E_POINTER, application->AuthenticateUser(nullptr, nullptr));
    for (const wchar_t* text : {static_cast<const wchar_t*>(nullptr), L"CORP\\anna", L"VRKH1:4:CORP:4:annaX"})
    {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(text ? text : L"<null>")));
        UniqueBstr handle = Bstr(text);
        verdict = VARIANT_TRUE;
        EXPECT_HR(kMalformedHandle, application->AuthenticateUser(handle.get(), &verdict));
        EXPECT_EQ(VARIANT_FALSE, verdict);
    }
}

TEST_F(ComponentTest, CreationFaults_FailTheFactorysCreateInstanceWithTheRehearsedResult)
{
    const struct
    {
        const char* operation;
        HRESULT sso;
        HRESULT manager;
    } rows[] = {{"CreateComponent", kRehearsed, kRehearsed},
                {"CreateSingleSignOn", kRehearsed, S_OK},
                {"CreateHandleManager", S_OK, kRehearsed}};
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.operation);
        ClearFaults();
        SetFault(row.operation, kRehearsed);
        EXPECT_EQ(row.sso == S_OK, bool(Create<IUnknown>(CLSID_VeyrakSingleSignOn, IID_ISingleSignOn, row.sso)));
        EXPECT_EQ(row.manager == S_OK,
                  bool(Create<IUnknown>(CLSID_VeyrakHandleManager, IID_IHandleManager, row.manager)));
        EXPECT_HR(S_OK, m_dll.CanUnloadNow()) << "a refused object kept its module lock";
    }
}

TEST_F(ComponentTest, CallFaults_AreReadAtEveryCallAndOnlyFailureCodesCount)
{
    AddUser("CORP", "anna", 1);
    auto sso = Create<ISingleSignOn>(CLSID_VeyrakSingleSignOn, IID_ISingleSignOn);
    auto manager = Create<IHandleManager>(CLSID_VeyrakHandleManager, IID_IHandleManager);
    ComPtr<IPrimaryUserApp3> application = NewApplication();
    ASSERT_TRUE(sso && manager && application);
    UniqueBstr domain = Bstr(L"CORP"), user = Bstr(L"anna"), handle = Bstr(L"VRKH1:4:CORP:4:anna"), made;
    auto expectCalls = [&](HRESULT getApplication, HRESULT createHandle, HRESULT authenticate)
    {
        ComPtr<IUnknown> created;
        EXPECT_HR(getApplication, sso->GetPrimaryUserApplication(created.Put()));
        EXPECT_HR(createHandle, manager->CreateUserHandle(domain.get(), user.get(), 0, made.put()));
        VARIANT_BOOL verdict = VARIANT_TRUE;
        EXPECT_HR(authenticate, application->AuthenticateUser(handle.get(), &verdict));
        EXPECT_EQ(SUCCEEDED(authenticate) ? VARIANT_TRUE : VARIANT_FALSE, verdict);
    };
    SetFault("GetPrimaryUserApplication", S_FALSE);
    const DWORD notADword = static_cast<DWORD>(E_FAIL);
    WriteValue(HKEY_LOCAL_MACHINE, SettingsKey("Faults"), "CreateUserHandle", REG_BINARY, &notADword, sizeof notADword);
    expectCalls(S_OK, S_OK, S_OK);

    SetFault("GetPrimaryUserApplication", kRehearsed);
    SetFault("CreateUserHandle", E_ACCESSDENIED);
    SetFault("AuthenticateUser", RPC_E_DISCONNECTED);
    expectCalls(kRehearsed, E_ACCESSDENIED, RPC_E_DISCONNECTED);
    ClearFaults();
    expectCalls(S_OK, S_OK, S_OK);
}

// Whatever a component's body throws becomes an HRESULT: nothing may unwind into the client.
TEST(ComponentBoundary, EveryExceptionBecomesAnHResult)
{
    using Veyrak::GuardedResult;
    EXPECT_HR(S_FALSE, GuardedResult([] { return S_FALSE; }));
    EXPECT_HR(E_OUTOFMEMORY, GuardedResult([]() -> HRESULT { throw std::bad_alloc(); }));
    EXPECT_HR(E_FAIL, GuardedResult([]() -> HRESULT { throw std::runtime_error("broken"); }));
    EXPECT_HR(E_UNEXPECTED, GuardedResult([]() -> HRESULT { throw 42; }));
}
