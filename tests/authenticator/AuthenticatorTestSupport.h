// AuthenticatorTestSupport.h: a fixture that gives each test the DLL, fake components in
// an MTA and the product installed, and checks afterwards that nothing was left behind.
#pragma once

#include "Common/Utility/ComPtr.h"
#include "Common/Utility/UniqueResource.h"
#include "FakeComponents.h"
#include "support/ServerDll.h"
#include "support/TestSupport.h"

#include "vrksolauth.h"

namespace VrkTest
{

using Veyrak::ComPtr;
using Veyrak::UniqueBstr;

inline UniqueBstr Bstr(const wchar_t* text)
{
    return UniqueBstr(::SysAllocString(text));
}

class AuthenticatorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ResetFakes();
        SetProductInstalled(true);
        ::SetErrorInfo(0, nullptr);
    }
    void TearDown() override
    {
        SetProductInstalled(false);
        EXPECT_EQ(0, g_fakeRecord.liveReferences) << "a component reference was not released";
        EXPECT_HR(S_OK, m_dll.CanUnloadNow()) << "an object or lock outlived the test";
    }

    ComPtr<IVRKsolutionAuthenticator1> Create()
    {
        ComPtr<IVRKsolutionAuthenticator1> object;
        EXPECT_HR(S_OK, m_dll.CreateAuthenticator(nullptr, IID_IVRKsolutionAuthenticator1, object.PutVoid()));
        return object;
    }

    ComApartment m_apartment{COINIT_MULTITHREADED};
    FakeComponentRegistration m_fakes;
    ServerDll m_dll;
};

// The error information an authenticator failure must leave on the thread.
inline void ExpectAuthenticatorError(const wchar_t* description, const GUID& guid = IID_IVRKsolutionAuthenticator1)
{
    ErrorInfoSnapshot info = TakeErrorInfo();
    ASSERT_TRUE(info.present) << "no error information on the thread";
    EXPECT_EQ(std::wstring(description), info.description);
    EXPECT_TRUE(::IsEqualGUID(guid, info.guid)) << "unexpected interface GUID";
}

} // namespace VrkTest
