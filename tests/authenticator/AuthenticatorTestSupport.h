// AuthenticatorTestSupport.h: a fixture that gives each test the DLL, fake components in an MTA
// and the product installed, and checks afterwards that nothing was left behind.
#pragma once

#include "FakeComponents.h"
#include "support/ServerTest.h"

namespace VrkTest
{

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

// The error information an authenticator failure must leave on the thread.
inline void ExpectAuthenticatorError(const wchar_t* description)
{
    ErrorInfoSnapshot info = TakeErrorInfo();
    ASSERT_TRUE(info.present) << "no error information on the thread";
    EXPECT_EQ(std::wstring(description), info.description);
    EXPECT_TRUE(::IsEqualGUID(IID_IVRKsolutionAuthenticator1, info.guid)) << "unexpected interface GUID";
}

} // namespace VrkTest
