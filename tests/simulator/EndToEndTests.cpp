// The whole flow: vrksolauth.dll creates the registered substitute components and answers through them.
#include "SimulatorTestSupport.h"

using namespace VrkTest;

namespace
{

constexpr HRESULT kRehearsed = static_cast<HRESULT>(0x80045678);

class EndToEndTest : public SimulatorTest
{
protected:
    void SetUp() override
    {
        SimulatorTest::SetUp();
        ASSERT_HR(S_OK, m_simulator.RegisterServer());
        SetProductInstalled(true);
        AddUser("CORP", "anna", 1);
        AddUser("CORP", "bob", 0);
    }
    void TearDown() override
    {
        SetProductInstalled(false);
        EXPECT_HR(S_OK, m_simulator.UnregisterServer());
        SimulatorTest::TearDown();
    }

    HRESULT Authenticate(const wchar_t* domainText, const wchar_t* userText, VARIANT_BOOL& valid)
    {
        ComPtr<IVRKsolutionAuthenticator1> authenticator;
        HRESULT result = m_server.CreateAuthenticator(authenticator);
        UniqueBstr domain = Bstr(domainText), user = Bstr(userText);
        valid = static_cast<VARIANT_BOOL>(0x1234);
        return FAILED(result) ? result : authenticator->Authenticate(domain.get(), user.get(), &valid);
    }

    ComApartment m_apartment;
    SimulatorDll m_simulator;
    ServerDll m_server;
};

} // namespace

TEST_F(EndToEndTest, Authenticate_HandsBackTheSimulatorsVerdict)
{
    VARIANT_BOOL valid;
    EXPECT_HR(S_OK, Authenticate(L"corp", L"Anna", valid));
    EXPECT_EQ(VARIANT_TRUE, valid);
    EXPECT_HR(S_OK, Authenticate(L"CORP", L"bob", valid));
    EXPECT_EQ(VARIANT_FALSE, valid);
}

TEST_F(EndToEndTest, RehearsedFaults_ReachTheCallerAndLastOnlyWhileSet)
{
    for (const char* operation : {"CreateSingleSignOn", "GetPrimaryUserApplication", "CreateHandleManager",
                                  "CreateUserHandle", "AuthenticateUser"})
    {
        SCOPED_TRACE(operation);
        SetFault(operation, kRehearsed);
        VARIANT_BOOL valid;
        EXPECT_HR(kRehearsed, Authenticate(L"CORP", L"anna", valid));
        ClearFaults();
        EXPECT_HR(S_OK, Authenticate(L"CORP", L"anna", valid));
        EXPECT_EQ(VARIANT_TRUE, valid);
    }
    EXPECT_HR(S_OK, m_server.CanUnloadNow());
}
