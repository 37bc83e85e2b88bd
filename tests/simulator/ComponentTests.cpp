// Tests of the substitute components through vrksimulator.dll's exports.
#include "SimulatorTestSupport.h"

#include <functional>

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

    ISingleSignOn* NewSingleSignOn()
    {
        ISingleSignOn* sso = nullptr;
        EXPECT_HR(S_OK, m_dll.Create(CLSID_VeyrakSingleSignOn, IID_ISingleSignOn, reinterpret_cast<void**>(&sso)));
        return sso;
    }
    IHandleManager* NewHandleManager()
    {
        IHandleManager* manager = nullptr;
        EXPECT_HR(S_OK,
                  m_dll.Create(CLSID_VeyrakHandleManager, IID_IHandleManager, reinterpret_cast<void**>(&manager)));
        return manager;
    }
    IPrimaryUserApp3* NewApplication()
    {
        ISingleSignOn* sso = NewSingleSignOn();
        if (!sso)
            return nullptr;
        IUnknown* application = nullptr;
        EXPECT_HR(S_OK, sso->GetPrimaryUserApplication(&application));
        sso->Release();
        if (!application)
            return nullptr;
        IPrimaryUserApp3* app3 = nullptr;
        EXPECT_HR(S_OK, application->QueryInterface(IID_IPrimaryUserApp3, reinterpret_cast<void**>(&app3)));
        application->Release();
        return app3;
    }

    // The verdict for domain\user, through a handle from the handle manager.
    HRESULT Verdict(const wchar_t* domain, const wchar_t* user, VARIANT_BOOL& verdict)
    {
        IHandleManager* manager = NewHandleManager();
        IPrimaryUserApp3* application = NewApplication();
        if (!manager || !application)
            return E_UNEXPECTED;
        Bstr domainText(domain);
        Bstr userText(user);
        Bstr handle;
        HRESULT result = manager->CreateUserHandle(domainText.get(), userText.get(), 0, handle.out());
        verdict = static_cast<VARIANT_BOOL>(0x1234);
        if (SUCCEEDED(result))
            result = application->AuthenticateUser(handle.get(), &verdict);
        manager->Release();
        application->Release();
        return result;
    }

    SimulatorDll m_dll;
};

} // namespace

TEST_F(ComponentTest, ClassObjects_ExistForBothClassesOnly)
{
    IClassFactory* factory = reinterpret_cast<IClassFactory*>(0xdeadbeef);
    EXPECT_HR(CLASS_E_CLASSNOTAVAILABLE,
              m_dll.GetClassObject(IID_IPrimaryUserApp3, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    EXPECT_EQ(nullptr, factory);

    IUnknown* object = nullptr;
    EXPECT_HR(E_NOINTERFACE,
              m_dll.Create(CLSID_VeyrakSingleSignOn, IID_IHandleManager, reinterpret_cast<void**>(&object)));
    EXPECT_HR(E_NOINTERFACE, m_dll.Create(CLSID_VeyrakHandleManager, IID_IDispatch, reinterpret_cast<void**>(&object)));
    EXPECT_EQ(nullptr, object);
}

TEST_F(ComponentTest, PrimaryUserApplication_AnswersIPrimaryUserApp3AndIDispatchWithoutTypeInformation)
{
    IPrimaryUserApp3* application = NewApplication();
    ASSERT_NE(nullptr, application);
    IDispatch* dispatch = nullptr;
    ASSERT_HR(S_OK, application->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)));
    EXPECT_EQ(static_cast<IDispatch*>(application), dispatch);

    UINT count = 0xdeadbeef;
    EXPECT_HR(S_OK, dispatch->GetTypeInfoCount(&count));
    EXPECT_EQ(0u, count);
    ITypeInfo* typeInfo = reinterpret_cast<ITypeInfo*>(0xdeadbeef);
    EXPECT_HR(E_NOTIMPL, dispatch->GetTypeInfo(0, 0, &typeInfo));
    EXPECT_EQ(nullptr, typeInfo);

    Bstr name;
    EXPECT_HR(S_OK, application->GetApplicationName(name.out()));
    EXPECT_EQ(L"VRKsolution Simulator", name.text());
    EXPECT_HR(E_POINTER, application->GetApplicationName(nullptr));

    dispatch->Release();
    EXPECT_EQ(1u, ReferenceCount(application)) << "each QueryInterface adds to the one count";
    application->Release();
}

TEST_F(ComponentTest, CreateUserHandle_ChecksItsArguments)
{
    IHandleManager* manager = NewHandleManager();
    ASSERT_NE(nullptr, manager);
    Bstr domain(L"CORP");
    Bstr user(L"anna");
    Bstr empty(L"");

    EXPECT_HR(E_POINTER, manager->CreateUserHandle(domain.get(), user.get(), 0, nullptr));

    BSTR handle = reinterpret_cast<BSTR>(0xdeadbeef);
    EXPECT_HR(E_INVALIDARG, manager->CreateUserHandle(domain.get(), nullptr, 0, &handle));
    EXPECT_EQ(nullptr, handle);
    handle = reinterpret_cast<BSTR>(0xdeadbeef);
    EXPECT_HR(E_INVALIDARG, manager->CreateUserHandle(domain.get(), empty.get(), 0, &handle));
    EXPECT_EQ(nullptr, handle);

    // A null domain is passed on by the server and encoded as empty.
    Bstr fromNullDomain;
    EXPECT_HR(S_OK, manager->CreateUserHandle(nullptr, user.get(), 0, fromNullDomain.out()));
    EXPECT_EQ(L"VRKH1:0::4:anna", fromNullDomain.text());
    manager->Release();
}

TEST_F(ComponentTest, AuthenticateUser_GivesTheDirectorysVerdict)
{
    AddUser("CORP", "anna", true);
    AddUser("CORP", "bob", false);
    AddUser("A:B", "c:d", true);

    const struct
    {
        const wchar_t* domain;
        const wchar_t* user;
        VARIANT_BOOL expected;
    } rows[] = {
        {L"CORP", L"anna", VARIANT_TRUE}, {L"corp", L"ANNA", VARIANT_TRUE},     {L"A:B", L"c:d", VARIANT_TRUE},
        {L"CORP", L"bob", VARIANT_FALSE}, {L"CORP", L"carl", VARIANT_FALSE},    {L"OTHER", L"anna", VARIANT_FALSE},
        {L"", L"anna", VARIANT_FALSE},    {L"CORP\\x", L"anna", VARIANT_FALSE},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(::testing::Message() << "user " << ::testing::PrintToString(std::wstring(row.user)) << " of "
                                          << ::testing::PrintToString(std::wstring(row.domain)));
        VARIANT_BOOL verdict = 0;
        EXPECT_HR(S_OK, Verdict(row.domain, row.user, verdict));
        EXPECT_EQ(row.expected, verdict);
    }
}

TEST_F(ComponentTest, AuthenticateUser_RefusesNullVerdictsAndMalformedHandles)
{
    AddUser("CORP", "anna", true);
    IPrimaryUserApp3* application = NewApplication();
    ASSERT_NE(nullptr, application);
    Bstr good(L"VRKH1:4:CORP:4:anna");
    EXPECT_HR(E_POINTER, application->AuthenticateUser(good.get(), nullptr));

    for (const wchar_t* text : {L"", L"CORP\\anna", L"VRKH1:4:CORP:4:annaX", L"VRKH1:4:CORP:5:anna"})
    {
        SCOPED_TRACE(::testing::Message() << ::testing::PrintToString(std::wstring(text)));
        Bstr handle(text);
        VARIANT_BOOL verdict = VARIANT_TRUE;
        EXPECT_HR(kMalformedHandle, application->AuthenticateUser(handle.get(), &verdict));
        EXPECT_EQ(VARIANT_FALSE, verdict);
    }
    VARIANT_BOOL verdict = VARIANT_TRUE;
    EXPECT_HR(kMalformedHandle, application->AuthenticateUser(nullptr, &verdict));
    EXPECT_EQ(VARIANT_FALSE, verdict);

    EXPECT_HR(S_OK, application->AuthenticateUser(good.get(), &verdict));
    EXPECT_EQ(VARIANT_TRUE, verdict);
    application->Release();
}

TEST_F(ComponentTest, CreationFaults_FailTheFactorysCreateInstanceWithTheRehearsedResult)
{
    const struct
    {
        const char* operation;
        bool ssoFails;
        bool managerFails;
    } rows[] = {
        {"CreateComponent", true, true},
        {"CreateSingleSignOn", true, false},
        {"CreateHandleManager", false, true},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.operation);
        RemoveEverything();
        SetFault(row.operation, kRehearsed);
        IUnknown* sso = reinterpret_cast<IUnknown*>(0xdeadbeef);
        IUnknown* manager = reinterpret_cast<IUnknown*>(0xdeadbeef);
        EXPECT_HR(row.ssoFails ? kRehearsed : S_OK,
                  m_dll.Create(CLSID_VeyrakSingleSignOn, IID_ISingleSignOn, reinterpret_cast<void**>(&sso)));
        EXPECT_HR(row.managerFails ? kRehearsed : S_OK,
                  m_dll.Create(CLSID_VeyrakHandleManager, IID_IHandleManager, reinterpret_cast<void**>(&manager)));
        EXPECT_EQ(row.ssoFails, sso == nullptr);
        EXPECT_EQ(row.managerFails, manager == nullptr);
        if (sso)
            sso->Release();
        if (manager)
            manager->Release();
        EXPECT_HR(S_OK, m_dll.CanUnloadNow()) << "a refused object kept its module lock";
    }
}

TEST_F(ComponentTest, CallFaults_AreReadAtEveryCall)
{
    ISingleSignOn* sso = NewSingleSignOn();
    IHandleManager* manager = NewHandleManager();
    IPrimaryUserApp3* application = NewApplication();
    ASSERT_TRUE(sso && manager && application);
    AddUser("CORP", "anna", true);
    Bstr domain(L"CORP");
    Bstr user(L"anna");
    Bstr handle(L"VRKH1:4:CORP:4:anna");

    // Set after the objects were made: each call consults the setting anew.
    SetFault("GetPrimaryUserApplication", kRehearsed);
    SetFault("CreateUserHandle", E_ACCESSDENIED);
    SetFault("AuthenticateUser", RPC_E_DISCONNECTED);

    IUnknown* created = reinterpret_cast<IUnknown*>(0xdeadbeef);
    EXPECT_HR(kRehearsed, sso->GetPrimaryUserApplication(&created));
    EXPECT_EQ(nullptr, created);
    Bstr newHandle;
    EXPECT_HR(E_ACCESSDENIED, manager->CreateUserHandle(domain.get(), user.get(), 0, newHandle.out()));
    EXPECT_EQ(nullptr, newHandle.get());
    VARIANT_BOOL verdict = VARIANT_TRUE;
    EXPECT_HR(RPC_E_DISCONNECTED, application->AuthenticateUser(handle.get(), &verdict));
    EXPECT_EQ(VARIANT_FALSE, verdict);

    // A success code in the setting is no fault.
    SetFault("AuthenticateUser", S_FALSE);
    EXPECT_HR(S_OK, application->AuthenticateUser(handle.get(), &verdict));
    EXPECT_EQ(VARIANT_TRUE, verdict);

    DeleteTree(HKEY_LOCAL_MACHINE, std::string(kSimulatorKeyPath) + "\\Faults");
    EXPECT_HR(S_OK, sso->GetPrimaryUserApplication(&created));
    ASSERT_NE(nullptr, created);
    created->Release();
    EXPECT_HR(S_OK, manager->CreateUserHandle(domain.get(), user.get(), 0, newHandle.out()));
    EXPECT_EQ(L"VRKH1:4:CORP:4:anna", newHandle.text());

    sso->Release();
    manager->Release();
    application->Release();
}
