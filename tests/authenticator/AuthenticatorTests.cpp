// Tests of the authenticator's two questions through the DLL, with fake components.
#include "AuthenticatorTestSupport.h"

using namespace VrkTest;

// --- Not installed ---

TEST_F(AuthenticatorTest, NotInstalled_CreationSucceedsUnconnectedAndAuthenticateFails)
{
    SetProductInstalled(false);
    ComPtr<IVRKsolutionAuthenticator1> object = Create();
    ASSERT_TRUE(object);

    VARIANT_BOOL installed = 0x1234;
    EXPECT_HR(S_OK, object->IsInstalled(&installed));
    EXPECT_EQ(VARIANT_FALSE, installed);

    VARIANT_BOOL valid = VARIANT_TRUE;
    UniqueBstr domain = Bstr(L"CORP"), user = Bstr(L"alice");
    EXPECT_HR(E_FAIL, object->Authenticate(domain.get(), user.get(), &valid));
    EXPECT_EQ(VARIANT_FALSE, valid);
    ExpectAuthenticatorError(L"Authenticate: VRKsolution not installed");

    EXPECT_EQ(0, g_fakeRecord.singleSignOnCreated);
    EXPECT_EQ(0, g_fakeRecord.handleManagerCreated);
    EXPECT_EQ(0, g_fakeRecord.createUserHandleCalls);
}

// --- The verdict path ---

TEST_F(AuthenticatorTest, Authenticate_PassesArgumentsUnchangedAndReturnsTheVerdict)
{
    ComPtr<IVRKsolutionAuthenticator1> object = Create();
    ASSERT_TRUE(object);
    EXPECT_EQ(1, g_fakeRecord.singleSignOnCreated);
    EXPECT_EQ(1, g_fakeRecord.handleManagerCreated);

    VARIANT_BOOL installed = VARIANT_FALSE;
    EXPECT_HR(S_OK, object->IsInstalled(&installed));
    EXPECT_EQ(VARIANT_TRUE, installed);

    VARIANT_BOOL valid = VARIANT_FALSE;
    UniqueBstr domain = Bstr(L"CORP"), user = Bstr(L"alice");
    EXPECT_HR(S_OK, object->Authenticate(domain.get(), user.get(), &valid));
    EXPECT_EQ(VARIANT_TRUE, valid);
    EXPECT_EQ(L"CORP", g_fakeRecord.domain);
    EXPECT_EQ(L"alice", g_fakeRecord.user);
    EXPECT_EQ(0, g_fakeRecord.reserved);
    EXPECT_EQ(g_fakeRecord.handleCreated, g_fakeRecord.handleReceived);
}

TEST_F(AuthenticatorTest, Authenticate_FalseVerdictIsNoFailure)
{
    g_fakeScript.verdict = VARIANT_FALSE;
    ComPtr<IVRKsolutionAuthenticator1> object = Create();
    ASSERT_TRUE(object);
    VARIANT_BOOL valid = VARIANT_TRUE;
    UniqueBstr user = Bstr(L"bob");
    EXPECT_HR(S_OK, object->Authenticate(nullptr, user.get(), &valid));
    EXPECT_EQ(VARIANT_FALSE, valid);
    EXPECT_FALSE(TakeErrorInfo().present) << "a success must not leave error information";
}

TEST_F(AuthenticatorTest, Authenticate_NullOrEmptyDomainGoesToTheHandleManagerUnchanged)
{
    ComPtr<IVRKsolutionAuthenticator1> object = Create();
    ASSERT_TRUE(object);
    VARIANT_BOOL valid = VARIANT_FALSE;
    UniqueBstr user = Bstr(L"alice"), empty = Bstr(L"");
    EXPECT_HR(S_OK, object->Authenticate(nullptr, user.get(), &valid));
    EXPECT_TRUE(g_fakeRecord.domainWasNull);
    EXPECT_HR(S_OK, object->Authenticate(empty.get(), user.get(), &valid));
    EXPECT_FALSE(g_fakeRecord.domainWasNull);
    EXPECT_EQ(L"", g_fakeRecord.domain);
    EXPECT_EQ(2, g_fakeRecord.createUserHandleCalls);
}

// --- Bad arguments ---

TEST_F(AuthenticatorTest, Authenticate_NullOrEmptyUser_FailsWithInvalidArgAndCallsNoComponent)
{
    ComPtr<IVRKsolutionAuthenticator1> object = Create();
    ASSERT_TRUE(object);
    UniqueBstr domain = Bstr(L"CORP"), empty = Bstr(L"");
    for (BSTR user : {static_cast<BSTR>(nullptr), empty.get()})
    {
        SCOPED_TRACE(user ? "empty user" : "null user");
        VARIANT_BOOL valid = VARIANT_TRUE;
        EXPECT_HR(E_INVALIDARG, object->Authenticate(domain.get(), user, &valid));
        EXPECT_EQ(VARIANT_FALSE, valid);
        ExpectAuthenticatorError(L"_CreateHandle: missing parameter: User");
    }
    EXPECT_EQ(0, g_fakeRecord.createUserHandleCalls);
    EXPECT_EQ(0, g_fakeRecord.authenticateUserCalls);
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

// --- Component failures during a request ---

TEST_F(AuthenticatorTest, CreateUserHandleFails_ReturnsItsResultWithMessage)
{
    g_fakeScript.createUserHandle = static_cast<HRESULT>(0x80041234);
    ComPtr<IVRKsolutionAuthenticator1> object = Create();
    ASSERT_TRUE(object);
    VARIANT_BOOL valid = VARIANT_TRUE;
    UniqueBstr user = Bstr(L"alice");
    EXPECT_HR(static_cast<HRESULT>(0x80041234), object->Authenticate(nullptr, user.get(), &valid));
    EXPECT_EQ(VARIANT_FALSE, valid);
    ExpectAuthenticatorError(L"_CreateHandle: failed to create a user handle");
    EXPECT_EQ(0, g_fakeRecord.authenticateUserCalls);
}

TEST_F(AuthenticatorTest, AuthenticateUserFailsAfterWritingTrue_FailureNeverCarriesATrueVerdict)
{
    g_fakeScript.authenticateUser = E_ACCESSDENIED;
    g_fakeScript.verdict = VARIANT_TRUE;
    ComPtr<IVRKsolutionAuthenticator1> object = Create();
    ASSERT_TRUE(object);
    VARIANT_BOOL valid = VARIANT_TRUE;
    UniqueBstr user = Bstr(L"alice");
    EXPECT_HR(E_ACCESSDENIED, object->Authenticate(nullptr, user.get(), &valid));
    EXPECT_EQ(VARIANT_FALSE, valid);
    ExpectAuthenticatorError(L"Authenticate: AuthenticateUser failed");
    EXPECT_EQ(1, g_fakeRecord.authenticateUserCalls);
}

// --- State is fixed at creation ---

TEST_F(AuthenticatorTest, InstallationChangesAfterCreation_DoNotChangeAnObjectsAnswers)
{
    ComPtr<IVRKsolutionAuthenticator1> before = Create();
    ASSERT_TRUE(before);
    SetProductInstalled(false);
    ComPtr<IVRKsolutionAuthenticator1> after = Create();
    ASSERT_TRUE(after);

    VARIANT_BOOL installed = VARIANT_FALSE;
    EXPECT_HR(S_OK, before->IsInstalled(&installed));
    EXPECT_EQ(VARIANT_TRUE, installed);
    EXPECT_HR(S_OK, after->IsInstalled(&installed));
    EXPECT_EQ(VARIANT_FALSE, installed);

    VARIANT_BOOL valid = VARIANT_FALSE;
    UniqueBstr user = Bstr(L"alice");
    EXPECT_HR(S_OK, before->Authenticate(nullptr, user.get(), &valid));
    EXPECT_EQ(VARIANT_TRUE, valid);
}

// --- Error information source ---

TEST_F(AuthenticatorTest, ErrorSource_IsTheRegisteredProgIdAndAbsentWhileUnregistered)
{
    SetProductInstalled(false);
    ComPtr<IVRKsolutionAuthenticator1> object = Create();
    ASSERT_TRUE(object);
    VARIANT_BOOL valid;
    UniqueBstr user = Bstr(L"alice");

    EXPECT_HR(E_FAIL, object->Authenticate(nullptr, user.get(), &valid));
    EXPECT_EQ(L"", TakeErrorInfo().source);

    const std::string classKey = "CLSID\\{5A486531-0201-43E0-BD81-D544BB08D0DC}";
    CreateKey(HKEY_CLASSES_ROOT, classKey + "\\ProgID");
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegOpenKeyExA(HKEY_CLASSES_ROOT, (classKey + "\\ProgID").c_str(), 0, KEY_SET_VALUE, &key));
    const char progId[] = "Vrksolauth.VRKsolutionAuthenticator.1";
    ::RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(progId), sizeof progId);
    ::RegCloseKey(key);

    EXPECT_HR(E_FAIL, object->Authenticate(nullptr, user.get(), &valid));
    ErrorInfoSnapshot info = TakeErrorInfo();
    DeleteTree(HKEY_CLASSES_ROOT, classKey);
    EXPECT_EQ(L"Vrksolauth.VRKsolutionAuthenticator.1", info.source);
    EXPECT_EQ(L"Authenticate: VRKsolution not installed", info.description);
}
