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
        EXPECT_HR(expected, m_dll.Create(clsid, nullptr, iid, object.PutVoid()));
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
};

} // namespace

// Each class answers its own interfaces only, the application IDispatch too, without type
// information. CreateUserHandle checks its arguments; AuthenticateUser gives the directory's verdict.
TEST_F(ComponentTest, Classes_CheckTheirArguments_AndAuthenticateUserGivesTheDirectorysVerdict)
{
    void* object = reinterpret_cast<void*>(0xdeadbeef);
    EXPECT_HR(CLASS_E_CLASSNOTAVAILABLE, m_dll.GetClassObject(IID_IPrimaryUserApp3, IID_IClassFactory, &object));
    EXPECT_EQ(nullptr, object);
    Create<IUnknown>(CLSID_VeyrakSingleSignOn, IID_IHandleManager, E_NOINTERFACE);
    Create<IUnknown>(CLSID_VeyrakHandleManager, IID_IDispatch, E_NOINTERFACE);
    auto manager = Create<IHandleManager>(CLSID_VeyrakHandleManager, IID_IHandleManager);
    ComPtr<IPrimaryUserApp3> application = NewApplication();
    ASSERT_TRUE(manager && application);
    const std::wstring longest(99999, L'n'), tooLong = longest + L"n";
    UniqueBstr longUser = Bstr(longest.c_str()), made;
    EXPECT_HR(E_POINTER, manager->CreateUserHandle(nullptr, longUser.get(), 0, nullptr));
    EXPECT_HR(S_OK, manager->CreateUserHandle(nullptr, longUser.get(), 0, made.put()));
    EXPECT_EQ(L"VRKH1:0::99999:" + longest, made ? made.get() : L"<null>");
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

    AddUser("CORP", "anna", 1);
    AddUser("CORP", "bob", 0);
    AddUser("A:B", "c:d", 1);
    AddUser("CORP", "seven", 7);
    WriteString(HKEY_LOCAL_MACHINE, SettingsKey("Users\\CORP\\text"), "Enabled", "1");
    ComPtr<IDispatch> dispatch;
    UINT count = 0xdeadbeef;
    UniqueBstr name;
    ASSERT_HR(S_OK, application.QueryInterface(IID_IDispatch, dispatch));
    EXPECT_HR(S_OK, dispatch->GetTypeInfoCount(&count));
    EXPECT_EQ(0u, count);
    EXPECT_HR(S_OK, application->GetApplicationName(name.put()));
    EXPECT_STREQ(L"VRKsolution Simulator", name.get());
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
    // A null handle, and one malformed form of the many that
    // UserHandleTest.RoundTripKeepsAnyCharacterOfEitherName_DecodeRefusesAnythingButTheExactForm decodes.
    for (const wchar_t* text : {static_cast<const wchar_t*>(nullptr), L"CORP\\anna"})
    {
        UniqueBstr malformed = Bstr(text);
        verdict = VARIANT_TRUE;
        EXPECT_HR(kMalformedHandle, application->AuthenticateUser(malformed.get(), &verdict)) << (text ? "" : "null");
        EXPECT_EQ(VARIANT_FALSE, verdict);
    }
}

// Each rehearsed fault fails its own operation while it is set, also on objects made before it;
// only REG_DWORD failure codes are faults.
TEST_F(ComponentTest, RehearsedFaults_FailTheirOperationAtEveryCallWhileSet)
{
    AddUser("CORP", "anna", 1);
    auto sso = Create<ISingleSignOn>(CLSID_VeyrakSingleSignOn, IID_ISingleSignOn);
    auto manager = Create<IHandleManager>(CLSID_VeyrakHandleManager, IID_IHandleManager);
    ComPtr<IPrimaryUserApp3> application = NewApplication();
    ASSERT_TRUE(sso && manager && application);
    UniqueBstr domain = Bstr(L"CORP"), user = Bstr(L"anna"), handle = Bstr(L"VRKH1:4:CORP:4:anna"), made;
    const struct
    {
        const char* operation;
        DWORD type;
        HRESULT fault;
        // Creating the SSO component and the handle manager, GetPrimaryUserApplication, CreateUserHandle and
        // AuthenticateUser.
        HRESULT results[5];
    } rows[] = {
        {"CreateComponent", REG_DWORD, kRehearsed, {kRehearsed, kRehearsed, S_OK, S_OK, S_OK}},
        {"CreateSingleSignOn", REG_DWORD, kRehearsed, {kRehearsed, S_OK, S_OK, S_OK, S_OK}},
        {"CreateHandleManager", REG_DWORD, kRehearsed, {S_OK, kRehearsed, S_OK, S_OK, S_OK}},
        {"GetPrimaryUserApplication", REG_DWORD, kRehearsed, {S_OK, S_OK, kRehearsed, S_OK, S_OK}},
        {"CreateUserHandle", REG_DWORD, E_ACCESSDENIED, {S_OK, S_OK, S_OK, E_ACCESSDENIED, S_OK}},
        {"AuthenticateUser", REG_DWORD, RPC_E_DISCONNECTED, {S_OK, S_OK, S_OK, S_OK, RPC_E_DISCONNECTED}},
        {"GetPrimaryUserApplication", REG_DWORD, S_FALSE, {S_OK, S_OK, S_OK, S_OK, S_OK}},
        {"CreateUserHandle", REG_BINARY, E_FAIL, {S_OK, S_OK, S_OK, S_OK, S_OK}},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(::testing::Message() << row.operation << " " << HResultText(row.fault) << " type " << row.type);
        DeleteTree(HKEY_LOCAL_MACHINE, SettingsKey("Faults"));
        WriteValue(HKEY_LOCAL_MACHINE, SettingsKey("Faults"), row.operation, row.type, &row.fault, sizeof row.fault);
        EXPECT_EQ(row.results[0] == S_OK,
                  bool(Create<IUnknown>(CLSID_VeyrakSingleSignOn, IID_ISingleSignOn, row.results[0])));
        EXPECT_EQ(row.results[1] == S_OK,
                  bool(Create<IUnknown>(CLSID_VeyrakHandleManager, IID_IHandleManager, row.results[1])));
        ComPtr<IUnknown> created;
        EXPECT_HR(row.results[2], sso->GetPrimaryUserApplication(created.Put()));
        EXPECT_HR(row.results[3], manager->CreateUserHandle(domain.get(), user.get(), 0, made.put()));
        VARIANT_BOOL verdict = VARIANT_TRUE;
        EXPECT_HR(row.results[4], application->AuthenticateUser(handle.get(), &verdict));
        EXPECT_EQ(SUCCEEDED(row.results[4]) ? VARIANT_TRUE : VARIANT_FALSE, verdict);
    }
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
