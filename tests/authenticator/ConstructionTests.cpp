// Tests of the authenticator's connection to the components when it is created.
#include "AuthenticatorTestSupport.h"

#include <winternl.h>

using namespace VrkTest;

namespace
{

struct ConstructionFailure
{
    const char* name;
    void (*arrange)();
    HRESULT expected;
    const wchar_t* message;
};

const ConstructionFailure kConstructionFailures[] = {
    {"SSO component not creatable", [] { g_fakeScript.createSingleSignOn = REGDB_E_CLASSNOTREG; }, REGDB_E_CLASSNOTREG,
     L"VRKauth: failed to create signed SSO component"},
    {"GetPrimaryUserApplication fails", [] { g_fakeScript.getApplication = static_cast<HRESULT>(0x80045678); },
     static_cast<HRESULT>(0x80045678), L"VRKauth: failed to GetPrimaryUserApplication"},
    {"GetPrimaryUserApplication delivers null", [] { g_fakeScript.deliverNullApplication = true; }, E_UNEXPECTED,
     L"VRKauth: failed to GetPrimaryUserApplication"},
    {"application refuses IPrimaryUserApp3", [] { g_fakeScript.applicationRefusesApp3 = true; }, E_NOINTERFACE,
     L"VRKauth: QI(IPrimaryUserApp3) failed"},
    {"handle manager not creatable", [] { g_fakeScript.createHandleManager = E_OUTOFMEMORY; }, E_OUTOFMEMORY,
     L"VRKauth: failed to create signed handle manager component"},
};

} // namespace

TEST_F(AuthenticatorTest, ConstructionFailures_FailCreationWithTheStepsResultAndLeaveNothingBehind)
{
    for (const ConstructionFailure& failure : kConstructionFailures)
    {
        SCOPED_TRACE(failure.name);
        ResetFakes();
        failure.arrange();
        ::SetErrorInfo(0, nullptr);

        IVRKsolutionAuthenticator1* object = reinterpret_cast<IVRKsolutionAuthenticator1*>(0xdeadbeef);
        EXPECT_HR(failure.expected, m_dll.CreateAuthenticator(nullptr, IID_IVRKsolutionAuthenticator1,
                                                              reinterpret_cast<void**>(&object)));
        EXPECT_EQ(nullptr, object);
        ExpectAuthenticatorError(failure.message);
        EXPECT_EQ(0, g_fakeRecord.liveReferences) << "a component reference outlived the failed creation";
        EXPECT_HR(S_OK, m_dll.CanUnloadNow()) << "the half-made object kept its module lock";
    }
}

// The application may depend on the component that handed it out: the SSO component's last
// reference goes after the application's.
TEST_F(AuthenticatorTest, Construction_ReleasesTheApplicationBeforeTheSsoComponent)
{
    ComPtr<IVRKsolutionAuthenticator1> object = Create();
    ASSERT_TRUE(object);
    const std::string releases = g_fakeRecord.releases;
    EXPECT_EQ("as", releases.substr(releases.size() < 2 ? 0 : releases.size() - 2)) << releases;
}

TEST_F(AuthenticatorTest, ConstructionFailureInsideAnAggregate_LeavesNothingBehind)
{
    g_fakeScript.createHandleManager = CO_E_SERVER_EXEC_FAILURE;
    // Any controlling object will do: the inner object must not survive the failure.
    IUnknown* outer = NewFakeApplication();
    IUnknown* inner = reinterpret_cast<IUnknown*>(0xdeadbeef);
    EXPECT_HR(CO_E_SERVER_EXEC_FAILURE,
              m_dll.CreateAuthenticator(outer, IID_IUnknown, reinterpret_cast<void**>(&inner)));
    EXPECT_EQ(nullptr, inner);
    outer->Release();
    EXPECT_EQ(0, g_fakeRecord.liveReferences);
}

// IsDebuggerPresent reads the process environment block's flag, which a test may set.
static PEB* ProcessEnvironmentBlock()
{
// GCC 12 takes the fs-relative read inside NtCurrentTeb for an out-of-bounds access.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
    return NtCurrentTeb()->ProcessEnvironmentBlock;
#pragma GCC diagnostic pop
}

TEST_F(AuthenticatorTest, DebuggerAttached_IntegrityCheckRefusesTheComponents)
{
    PEB* peb = ProcessEnvironmentBlock();
    const BYTE wasDebugged = peb->BeingDebugged;
    peb->BeingDebugged = TRUE;
    ASSERT_TRUE(::IsDebuggerPresent());

    IVRKsolutionAuthenticator1* object = nullptr;
    HRESULT result =
        m_dll.CreateAuthenticator(nullptr, IID_IVRKsolutionAuthenticator1, reinterpret_cast<void**>(&object));
    peb->BeingDebugged = wasDebugged;

    EXPECT_HR(E_ACCESSDENIED, result);
    EXPECT_EQ(nullptr, object);
    ExpectAuthenticatorError(L"VRKauth: failed to create signed SSO component");
    EXPECT_EQ(0, g_fakeRecord.singleSignOnCreated);
}
