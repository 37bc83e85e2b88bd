// The whole flow: vrksolauth.dll creates the registered substitute components and answers
// through them.
#include "SimulatorTestSupport.h"

#include "support/ServerDll.h"

#include "vrksolauth.h"

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
        AddUser("CORP", "anna", true);
        AddUser("CORP", "bob", false);
    }
    void TearDown() override
    {
        SetProductInstalled(false);
        EXPECT_HR(S_OK, m_simulator.UnregisterServer());
        SimulatorTest::TearDown();
    }

    IVRKsolutionAuthenticator1* NewAuthenticator(HRESULT expected = S_OK)
    {
        IVRKsolutionAuthenticator1* authenticator = nullptr;
        EXPECT_HR(expected, m_server.CreateAuthenticator(nullptr, IID_IVRKsolutionAuthenticator1,
                                                         reinterpret_cast<void**>(&authenticator)));
        return authenticator;
    }

    ComApartment m_apartment;
    SimulatorDll m_simulator;
    ServerDll m_server;
};

} // namespace

TEST_F(EndToEndTest, Authenticate_HandsBackTheSimulatorsVerdict)
{
    IVRKsolutionAuthenticator1* authenticator = NewAuthenticator();
    ASSERT_NE(nullptr, authenticator);
    VARIANT_BOOL installed = VARIANT_FALSE;
    EXPECT_HR(S_OK, authenticator->IsInstalled(&installed));
    EXPECT_EQ(VARIANT_TRUE, installed);

    const struct
    {
        const wchar_t* domain;
        const wchar_t* user;
        VARIANT_BOOL expected;
    } rows[] = {
        {L"CORP", L"anna", VARIANT_TRUE},    {L"corp", L"Anna", VARIANT_TRUE},       {L"CORP", L"bob", VARIANT_FALSE},
        {L"CORP", L"nobody", VARIANT_FALSE}, {L"ELSEWHERE", L"anna", VARIANT_FALSE},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(::testing::Message() << ::testing::PrintToString(std::wstring(row.user)));
        Bstr domain(row.domain);
        Bstr user(row.user);
        VARIANT_BOOL valid = static_cast<VARIANT_BOOL>(0x1234);
        EXPECT_HR(S_OK, authenticator->Authenticate(domain.get(), user.get(), &valid));
        EXPECT_EQ(row.expected, valid);
    }
    authenticator->Release();
}

TEST_F(EndToEndTest, RehearsedCreationFaults_FailTheAuthenticatorsCreation)
{
    for (const char* operation : {"CreateSingleSignOn", "GetPrimaryUserApplication", "CreateHandleManager"})
    {
        SCOPED_TRACE(operation);
        DeleteTree(HKEY_LOCAL_MACHINE, std::string(kSimulatorKeyPath) + "\\Faults");
        SetFault(operation, kRehearsed);
        IVRKsolutionAuthenticator1* authenticator = NewAuthenticator(kRehearsed);
        EXPECT_EQ(nullptr, authenticator);
        if (authenticator)
            authenticator->Release();
    }
    EXPECT_HR(S_OK, m_server.CanUnloadNow());
}

TEST_F(EndToEndTest, RehearsedCallFaults_ReachTheAuthenticatesCaller)
{
    IVRKsolutionAuthenticator1* authenticator = NewAuthenticator();
    ASSERT_NE(nullptr, authenticator);
    Bstr domain(L"CORP");
    Bstr user(L"anna");

    for (const char* operation : {"CreateUserHandle", "AuthenticateUser"})
    {
        SCOPED_TRACE(operation);
        DeleteTree(HKEY_LOCAL_MACHINE, std::string(kSimulatorKeyPath) + "\\Faults");
        SetFault(operation, kRehearsed);
        VARIANT_BOOL valid = VARIANT_TRUE;
        EXPECT_HR(kRehearsed, authenticator->Authenticate(domain.get(), user.get(), &valid));
        EXPECT_EQ(VARIANT_FALSE, valid);
    }

    // Cleared while the authenticator lives: the next request succeeds again.
    DeleteTree(HKEY_LOCAL_MACHINE, std::string(kSimulatorKeyPath) + "\\Faults");
    VARIANT_BOOL valid = VARIANT_FALSE;
    EXPECT_HR(S_OK, authenticator->Authenticate(domain.get(), user.get(), &valid));
    EXPECT_EQ(VARIANT_TRUE, valid);
    authenticator->Release();
}
