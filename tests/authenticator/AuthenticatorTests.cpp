// Tests of the authenticator class through the DLL, with fake components.
#include "FakeComponents.h"
#include "support/ServerTest.h"

#include <winternl.h>

#include <vector>

using namespace VrkTest;

namespace
{

// The DLL, fake components in an MTA and the product installed; no component reference left after.
class AuthenticatorTest : public ServerTest
{
protected:
    AuthenticatorTest() : ServerTest(true) { ResetFakes(); }
    void TearDown() override
    {
        EXPECT_EQ(0, g_fakeRecord.liveReferences) << "a component reference was not released";
        ServerTest::TearDown();
    }
    ComPtr<IVRKsolutionAuthenticator1> Create()
    {
        ComPtr<IVRKsolutionAuthenticator1> object;
        EXPECT_HR(S_OK, m_dll.CreateAuthenticator(object));
        return object;
    }

    FakeComponentRegistration m_fakes;
};

// The error information an authenticator failure must leave on the thread; no source while the
// class is unregistered (the clients' tests see the registered ProgID as the source).
void ExpectAuthenticatorError(const wchar_t* description)
{
    ErrorInfoSnapshot info = TakeErrorInfo();
    ASSERT_TRUE(info.present) << "no error information on the thread";
    EXPECT_EQ(std::wstring(description), info.description);
    EXPECT_EQ(L"", info.source);
    EXPECT_TRUE(::IsEqualGUID(IID_IVRKsolutionAuthenticator1, info.guid)) << "unexpected interface GUID";
}

// IsDebuggerPresent reads the process environment block's flag, which a test may set.
PEB* ProcessEnvironmentBlock()
{
// GCC 12 takes the fs-relative read inside NtCurrentTeb for an out-of-bounds access.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
    return NtCurrentTeb()->ProcessEnvironmentBlock;
#pragma GCC diagnostic pop
}

} // namespace

// Standalone or inside an aggregate, a failed creation leaves no object, component reference,
// module lock or reference to the outer object behind. With a debugger attached the integrity
// check refuses the components before any is made.
TEST_F(AuthenticatorTest, ConstructionFailures_FailCreationWithTheStepsResultAndLeaveNothingBehind)
{
    const BYTE wasDebugged = ProcessEnvironmentBlock()->BeingDebugged;
    std::vector<ComponentFailure> failures(std::begin(kComponentFailures), std::end(kComponentFailures));
    failures.push_back({"debugger attached", [](FakeScript&) { ProcessEnvironmentBlock()->BeingDebugged = TRUE; }, true,
                        E_ACCESSDENIED, L"VRKauth: failed to create signed SSO component"});
    for (const ComponentFailure& failure : failures)
        for (bool aggregated : {false, true})
        {
            if (!failure.atCreation)
                break;
            SCOPED_TRACE(std::string(failure.name) + (aggregated ? ", aggregated" : ""));
            ResetFakes();
            failure.arrange(g_fakeScript);
            ::SetErrorInfo(0, nullptr);
            ComPtr<Outer> outer = ComPtr<Outer>::Attach(aggregated ? new Outer : nullptr);
            void* object = reinterpret_cast<void*>(0xdeadbeef);
            EXPECT_HR(failure.expected,
                      m_dll.CreateAuthenticator(outer.Get(), aggregated ? IID_IUnknown : IID_IVRKsolutionAuthenticator1,
                                                &object));
            ProcessEnvironmentBlock()->BeingDebugged = wasDebugged;
            EXPECT_EQ(nullptr, object);
            ExpectAuthenticatorError(failure.message);
            EXPECT_EQ(0, g_fakeRecord.liveReferences) << "a component reference outlived the failed creation";
            EXPECT_HR(S_OK, m_dll.CanUnloadNow()) << "the half-made object kept its module lock";
            EXPECT_TRUE(!outer || outer->count == 1) << "the half-made inner object kept a reference to its outer";
            EXPECT_TRUE(&failure != &failures.back() || g_fakeRecord.singleSignOnCreated == 0) << "made, then refused";
        }
}

// Whether the product is installed is read once, when an object is made: one made without it fails
// every request (a null out-pointer first). One made with it connects once, releasing the application
// before the SSO component that handed it out, and passes any texts whole; a false verdict is no failure.
TEST_F(AuthenticatorTest, InstallationAtCreation_DecidesAnObjectsAnswers_AndArgumentsPassWhole)
{
    ComPtr<IVRKsolutionAuthenticator1> connected = Create();
    const std::string releases = g_fakeRecord.releases;
    EXPECT_EQ("as", releases.substr(releases.size() < 2 ? 0 : releases.size() - 2)) << releases;
    SetProductInstalled(false);
    ComPtr<IVRKsolutionAuthenticator1> unconnected = Create();
    ASSERT_TRUE(connected && unconnected);

    UniqueBstr plain = Bstr(L"alice"), empty = Bstr(L"");
    VARIANT_BOOL installed = 0x1234, valid = VARIANT_TRUE;
    EXPECT_HR(S_OK, unconnected->IsInstalled(&installed));
    EXPECT_EQ(VARIANT_FALSE, installed);
    EXPECT_HR(E_FAIL, unconnected->Authenticate(nullptr, plain.get(), &valid));
    EXPECT_EQ(VARIANT_FALSE, valid);
    ExpectAuthenticatorError(L"Authenticate: VRKsolution not installed");
    EXPECT_HR(E_POINTER, unconnected->Authenticate(nullptr, plain.get(), nullptr));
    ExpectAuthenticatorError(L"Authenticate: NULL parameter: Valid");
    EXPECT_HR(S_OK, connected->IsInstalled(&installed));
    EXPECT_EQ(VARIANT_TRUE, installed);

    const std::wstring texts[] = {L"CORP", std::wstring(L"a\0b\0", 4), L"\xD83D\xDE00 \\\\server\\",
                                  std::wstring(1 << 20, L'x'), L"%MODULE%'"};
    for (const std::wstring& text : texts)
        for (VARIANT_BOOL verdict : {VARIANT_TRUE, VARIANT_FALSE})
        {
            SCOPED_TRACE(testing::Message() << "text of length " << text.size() << ", verdict " << verdict);
            UniqueBstr odd(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
            const bool inDomain = verdict == VARIANT_TRUE;
            g_fakeScript.verdict = verdict;
            valid = ~verdict;
            EXPECT_HR(S_OK, connected->Authenticate(inDomain ? odd.get() : plain.get(),
                                                    inDomain ? plain.get() : odd.get(), &valid));
            EXPECT_EQ(verdict, valid);
            EXPECT_TRUE((inDomain ? g_fakeRecord.domain : g_fakeRecord.user) == text);
            EXPECT_EQ(0, g_fakeRecord.reserved);
            EXPECT_EQ(g_fakeRecord.handleCreated, g_fakeRecord.handleReceived);
        }
    EXPECT_HR(S_OK, connected->Authenticate(nullptr, plain.get(), &valid));
    EXPECT_EQ(L"<null>", g_fakeRecord.domain);
    EXPECT_HR(S_OK, connected->Authenticate(empty.get(), plain.get(), &valid));
    EXPECT_EQ(L"", g_fakeRecord.domain);
    EXPECT_FALSE(TakeErrorInfo().present) << "a success must not leave error information";
    EXPECT_EQ(1, g_fakeRecord.singleSignOnCreated);
    EXPECT_EQ(1, g_fakeRecord.handleManagerCreated);
}

// Every failure of a request returns its own HRESULT with its message and never a true verdict;
// bad arguments fail before any component is called.
TEST_F(AuthenticatorTest, RequestFailures_ReturnTheirResultMessageAndAFalseVerdict)
{
    const wchar_t kMissingUser[] = L"_CreateHandle: missing parameter: User";
    std::vector<std::pair<ComponentFailure, const wchar_t*>> requests = {
        {{"null user", nullptr, false, E_INVALIDARG, kMissingUser}, nullptr},
        {{"empty user", nullptr, false, E_INVALIDARG, kMissingUser}, L""},
        {{"null Valid", nullptr, false, E_POINTER, L"Authenticate: NULL parameter: Valid"}, L"alice"},
    };
    for (const ComponentFailure& failure : kComponentFailures)
        if (!failure.atCreation)
            requests.push_back({failure, L"alice"});
    ComPtr<IVRKsolutionAuthenticator1> object = Create();
    ASSERT_TRUE(object);
    for (const auto& [failure, userName] : requests)
    {
        SCOPED_TRACE(failure.name);
        g_fakeScript = FakeScript(); // the record keeps counting the object's references
        if (failure.arrange)
            failure.arrange(g_fakeScript);
        const LONG handleCallsBefore = g_fakeRecord.createUserHandleCalls;
        const LONG verdictCallsBefore = g_fakeRecord.authenticateUserCalls;
        const bool nullValid = failure.expected == E_POINTER;
        UniqueBstr user = Bstr(userName);
        VARIANT_BOOL valid = VARIANT_TRUE;
        EXPECT_HR(failure.expected, object->Authenticate(nullptr, user.get(), nullValid ? nullptr : &valid));
        EXPECT_EQ(nullValid ? VARIANT_TRUE : VARIANT_FALSE, valid);
        ExpectAuthenticatorError(failure.message);
        EXPECT_EQ(failure.arrange ? 1 : 0, g_fakeRecord.createUserHandleCalls - handleCallsBefore);
        EXPECT_EQ(failure.arrange && SUCCEEDED(g_fakeScript.createUserHandle) ? 1 : 0,
                  g_fakeRecord.authenticateUserCalls - verdictCallsBefore);
    }
    EXPECT_HR(E_POINTER, object->IsInstalled(nullptr));
    ExpectAuthenticatorError(L"IsInstalled: NULL parameter: Installed");
}
