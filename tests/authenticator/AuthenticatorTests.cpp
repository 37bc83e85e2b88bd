// Tests of the authenticator's two questions through the DLL, with fake components.
#include "AuthenticatorTestSupport.h"

using namespace VrkTest;

TEST_F(AuthenticatorTest, NotInstalled_CreationSucceedsUnconnectedAndAuthenticateFails)
{
    SetProductInstalled(false);
    ComPtr<IVRKsolutionAuthenticator1> object = Create();
    ASSERT_TRUE(object);
    VARIANT_BOOL installed = 0x1234, valid = VARIANT_TRUE;
    EXPECT_HR(S_OK, object->IsInstalled(&installed));
    EXPECT_EQ(VARIANT_FALSE, installed);

    UniqueBstr user = Bstr(L"alice");
    EXPECT_HR(E_FAIL, object->Authenticate(nullptr, user.get(), &valid));
    EXPECT_EQ(VARIANT_FALSE, valid);
    ExpectAuthenticatorError(L"Authenticate: VRKsolution not installed");
    EXPECT_EQ(0, g_fakeRecord.singleSignOnCreated + g_fakeRecord.handleManagerCreated);
}

TEST_F(AuthenticatorTest, Authenticate_PassesArgumentsUnchangedAndReturnsTheComponentsVerdict)
{
    ComPtr<IVRKsolutionAuthenticator1> object = Create();
    ASSERT_TRUE(object);
    VARIANT_BOOL installed = VARIANT_FALSE;
    EXPECT_HR(S_OK, object->IsInstalled(&installed));
    EXPECT_EQ(VARIANT_TRUE, installed);

    UniqueBstr domain = Bstr(L"CORP"), empty = Bstr(L""), user = Bstr(L"alice");
    for (VARIANT_BOOL verdict : {VARIANT_TRUE, VARIANT_FALSE})
    {
        g_fakeScript.verdict = verdict;
        VARIANT_BOOL valid = verdict == VARIANT_TRUE ? VARIANT_FALSE : VARIANT_TRUE;
        EXPECT_HR(S_OK, object->Authenticate(domain.get(), user.get(), &valid));
        EXPECT_EQ(verdict, valid) << "a false verdict is no failure";
    }
    EXPECT_EQ(L"CORP", g_fakeRecord.domain);
    EXPECT_EQ(L"alice", g_fakeRecord.user);
    EXPECT_EQ(0, g_fakeRecord.reserved);
    EXPECT_EQ(g_fakeRecord.handleCreated, g_fakeRecord.handleReceived);
    EXPECT_FALSE(TakeErrorInfo().present) << "a success must not leave error information";

    // A null or empty domain reaches the handle manager as it is.
    VARIANT_BOOL valid;
    EXPECT_HR(S_OK, object->Authenticate(nullptr, user.get(), &valid));
    EXPECT_TRUE(g_fakeRecord.domainWasNull);
    EXPECT_HR(S_OK, object->Authenticate(empty.get(), user.get(), &valid));
    EXPECT_FALSE(g_fakeRecord.domainWasNull);
    EXPECT_EQ(1, g_fakeRecord.singleSignOnCreated);
    EXPECT_EQ(1, g_fakeRecord.handleManagerCreated);
}

// Texts reach the handle manager whole, whatever they hold: embedded zeros, surrogate pairs,
// a megabyte of characters.
TEST_F(AuthenticatorTest, Authenticate_OddTextsReachTheComponentsWhole)
{
    ComPtr<IVRKsolutionAuthenticator1> object = Create();
    ASSERT_TRUE(object);
    const std::wstring texts[] = {std::wstring(L"a\0b\0", 4), L"\xD83D\xDE00 \\\\server\\", std::wstring(1 << 20, L'x'),
                                  L"%MODULE%'"};
    for (const std::wstring& text : texts)
    {
        UniqueBstr odd(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))), plain = Bstr(L"alice");
        ASSERT_TRUE(odd);
        VARIANT_BOOL valid = VARIANT_FALSE;
        EXPECT_HR(S_OK, object->Authenticate(odd.get(), plain.get(), &valid));
        EXPECT_TRUE(g_fakeRecord.domain == text) << "domain of length " << text.size();
        EXPECT_HR(S_OK, object->Authenticate(plain.get(), odd.get(), &valid));
        EXPECT_TRUE(g_fakeRecord.user == text) << "user of length " << text.size();
        EXPECT_EQ(VARIANT_TRUE, valid);
    }
}

// Every failure of a request returns its own HRESULT with its message, and never a true verdict.
TEST_F(AuthenticatorTest, RequestFailures_ReturnTheirResultMessageAndAFalseVerdict)
{
    struct Failure
    {
        const char* name;
        const wchar_t* user;
        void (*arrange)();
        HRESULT expected;
        const wchar_t* message;
        LONG handleCalls;
    };
    const Failure failures[] = {
        {"null user", nullptr, [] {}, E_INVALIDARG, L"_CreateHandle: missing parameter: User", 0},
        {"empty user", L"", [] {}, E_INVALIDARG, L"_CreateHandle: missing parameter: User", 0},
        {"CreateUserHandle fails", L"alice", [] { g_fakeScript.createUserHandle = E_ACCESSDENIED; }, E_ACCESSDENIED,
         L"_CreateHandle: failed to create a user handle", 1},
        // The component writes a true verdict before it fails.
        {"AuthenticateUser fails", L"alice", [] { g_fakeScript.authenticateUser = CO_E_SERVER_EXEC_FAILURE; },
         CO_E_SERVER_EXEC_FAILURE, L"Authenticate: AuthenticateUser failed", 1},
    };
    ComPtr<IVRKsolutionAuthenticator1> object = Create();
    ASSERT_TRUE(object);
    for (const Failure& failure : failures)
    {
        SCOPED_TRACE(failure.name);
        g_fakeScript = FakeScript(); // the record keeps counting the object's references
        const LONG handleCallsBefore = g_fakeRecord.createUserHandleCalls;
        const LONG verdictCallsBefore = g_fakeRecord.authenticateUserCalls;
        failure.arrange();
        UniqueBstr user(failure.user ? ::SysAllocString(failure.user) : nullptr);
        VARIANT_BOOL valid = VARIANT_TRUE;
        EXPECT_HR(failure.expected, object->Authenticate(nullptr, user.get(), &valid));
        EXPECT_EQ(VARIANT_FALSE, valid);
        ExpectAuthenticatorError(failure.message);
        EXPECT_EQ(failure.handleCalls, g_fakeRecord.createUserHandleCalls - handleCallsBefore);
        EXPECT_EQ(failure.expected == CO_E_SERVER_EXEC_FAILURE ? 1 : 0,
                  g_fakeRecord.authenticateUserCalls - verdictCallsBefore);
    }
}

TEST_F(AuthenticatorTest, NullOutPointers_FailWithEPointerBeforeAnythingElse)
{
    ComPtr<IVRKsolutionAuthenticator1> object = Create();
    ASSERT_TRUE(object);
    EXPECT_HR(E_POINTER, object->IsInstalled(nullptr));
    ExpectAuthenticatorError(L"IsInstalled: NULL parameter: Installed");

    UniqueBstr user = Bstr(L"alice");
    EXPECT_HR(E_POINTER, object->Authenticate(nullptr, user.get(), nullptr));
    ExpectAuthenticatorError(L"Authenticate: NULL parameter: Valid");
    EXPECT_EQ(0, g_fakeRecord.createUserHandleCalls);

    // Even an unconnected object reports the null pointer, not the missing product.
    SetProductInstalled(false);
    ComPtr<IVRKsolutionAuthenticator1> unconnected = Create();
    ASSERT_TRUE(unconnected);
    EXPECT_HR(E_POINTER, unconnected->Authenticate(nullptr, user.get(), nullptr));
}

TEST_F(AuthenticatorTest, InstallationChangesAfterCreation_DoNotChangeAnObjectsAnswers)
{
    ComPtr<IVRKsolutionAuthenticator1> before = Create();
    SetProductInstalled(false);
    ComPtr<IVRKsolutionAuthenticator1> after = Create();
    ASSERT_TRUE(before && after);

    VARIANT_BOOL installed = VARIANT_FALSE, valid = VARIANT_FALSE;
    EXPECT_HR(S_OK, before->IsInstalled(&installed));
    EXPECT_EQ(VARIANT_TRUE, installed);
    EXPECT_HR(S_OK, after->IsInstalled(&installed));
    EXPECT_EQ(VARIANT_FALSE, installed);
    UniqueBstr user = Bstr(L"alice");
    EXPECT_HR(S_OK, before->Authenticate(nullptr, user.get(), &valid));
    EXPECT_EQ(VARIANT_TRUE, valid);
}

TEST_F(AuthenticatorTest, ErrorSource_IsTheRegisteredProgIdAndAbsentWhileUnregistered)
{
    SetProductInstalled(false);
    ComPtr<IVRKsolutionAuthenticator1> object = Create();
    ASSERT_TRUE(object);
    VARIANT_BOOL valid;
    UniqueBstr user = Bstr(L"alice");
    EXPECT_HR(E_FAIL, object->Authenticate(nullptr, user.get(), &valid));
    EXPECT_EQ(L"", TakeErrorInfo().source);

    const std::string progIdKey = "CLSID\\{5A486531-0201-43E0-BD81-D544BB08D0DC}\\ProgID";
    CreateKey(HKEY_CLASSES_ROOT, progIdKey);
    const char progId[] = "Vrksolauth.VRKsolutionAuthenticator.1";
    ::RegSetValueA(HKEY_CLASSES_ROOT, progIdKey.c_str(), REG_SZ, progId, sizeof progId - 1);
    EXPECT_HR(E_FAIL, object->Authenticate(nullptr, user.get(), &valid));
    ErrorInfoSnapshot info = TakeErrorInfo();
    DeleteTree(HKEY_CLASSES_ROOT, "CLSID\\{5A486531-0201-43E0-BD81-D544BB08D0DC}");
    EXPECT_EQ(L"Vrksolauth.VRKsolutionAuthenticator.1", info.source);
    EXPECT_EQ(L"Authenticate: VRKsolution not installed", info.description);
}
