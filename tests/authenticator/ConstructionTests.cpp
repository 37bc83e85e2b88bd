// Tests of the authenticator's connection to the components when it is created.
#include "AuthenticatorTestSupport.h"

#include <winternl.h>

using namespace VrkTest;

// Standalone or inside an aggregate, a failed creation leaves no object, component reference,
// module lock or reference to the outer object behind.
TEST_F(AuthenticatorTest, ConstructionFailures_FailCreationWithTheStepsResultAndLeaveNothingBehind)
{
    for (const ComponentFailure& failure : kComponentFailures)
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
            EXPECT_EQ(nullptr, object);
            ExpectAuthenticatorError(failure.message);
            EXPECT_EQ(0, g_fakeRecord.liveReferences) << "a component reference outlived the failed creation";
            EXPECT_HR(S_OK, m_dll.CanUnloadNow()) << "the half-made object kept its module lock";
            EXPECT_TRUE(!outer || outer->count == 1) << "the half-made inner object kept a reference to its outer";
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

    void* object = reinterpret_cast<void*>(0xdeadbeef);
    const HRESULT result = m_dll.CreateAuthenticator(nullptr, IID_IVRKsolutionAuthenticator1, &object);
    peb->BeingDebugged = wasDebugged;

    EXPECT_HR(E_ACCESSDENIED, result);
    EXPECT_EQ(nullptr, object);
    ExpectAuthenticatorError(L"VRKauth: failed to create signed SSO component");
    EXPECT_EQ(0, g_fakeRecord.singleSignOnCreated);
}
