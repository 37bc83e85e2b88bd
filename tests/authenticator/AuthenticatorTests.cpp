// Tests of the authenticator class through the DLL, with the test components registered like the
// maker's: what it answers, and what the component integrity check refuses in their place.
#include "components/FakeComponents.h"
#include "support/MachineClasses.h"
#include "support/ServerTest.h"

#include <winternl.h>

#include <functional>
#include <vector>

using namespace VrkTest;

namespace
{

// The DLL, the test components registered in an MTA and the product installed; no component
// reference left after.
class AuthenticatorTest : public ServerTest
{
protected:
    AuthenticatorTest() : ServerTest(true) {}
    void TearDown() override
    {
        EXPECT_EQ(0, m_record.liveReferences) << "a component reference was not released";
        EXPECT_EQ(0, m_record.aggregationRequests) << "the server aggregated a component";
        ServerTest::TearDown();
    }
    ComPtr<IVRKsolutionAuthenticator1> Create()
    {
        ComPtr<IVRKsolutionAuthenticator1> object;
        EXPECT_HR(S_OK, m_dll.CreateAuthenticator(object));
        return object;
    }
    // A creation that must fail, standalone and inside an aggregate: no object, component reference,
    // module lock or reference to the outer object left behind, and the step's message on the thread.
    void ExpectCreationFails(HRESULT expected, const wchar_t* message, const std::function<void()>& arrange);

    FakeComponents m_fakes;
    FakeScript& m_script = m_fakes.Script();
    FakeRecord& m_record = m_fakes.Record();
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

void AuthenticatorTest::ExpectCreationFails(HRESULT expected, const wchar_t* message,
                                            const std::function<void()>& arrange)
{
    for (bool aggregated : {false, true})
    {
        SCOPED_TRACE(aggregated ? "aggregated" : "standalone");
        m_dll.Reload(); // forgets what earlier creations verified
        m_fakes.Reset();
        arrange();
        ::SetErrorInfo(0, nullptr);
        ComPtr<Outer> outer = ComPtr<Outer>::Attach(aggregated ? new Outer : nullptr);
        void* object = reinterpret_cast<void*>(0xdeadbeef);
        EXPECT_HR(expected, m_dll.CreateAuthenticator(
                                outer.Get(), aggregated ? IID_IUnknown : IID_IVRKsolutionAuthenticator1, &object));
        EXPECT_EQ(nullptr, object);
        ExpectAuthenticatorError(message);
        EXPECT_EQ(0, m_record.liveReferences) << "a component reference outlived the failed creation";
        EXPECT_HR(S_OK, m_dll.CanUnloadNow()) << "the half-made object kept its module lock";
        EXPECT_TRUE(!outer || outer->count == 1) << "the half-made inner object kept a reference to its outer";
    }
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

// Stand-ins that no check may accept: they count their references and every other call.
struct RogueCalls
{
    volatile LONG references = 0, calls = 0;
};
RogueCalls g_rogue;

template <typename Interface> class Rogue : public Interface
{
public:
    explicit Rogue(const IID& own) : m_own(own) {}
    IFACEMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        const bool known = ::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, m_own);
        *out = known ? (AddRef(), this) : nullptr;
        return known ? S_OK : E_NOINTERFACE;
    }
    IFACEMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&g_rogue.references)); }
    IFACEMETHODIMP_(ULONG) Release() override
    {
        return static_cast<ULONG>(::InterlockedDecrement(&g_rogue.references));
    }

protected:
    HRESULT Called() { return ::InterlockedIncrement(&g_rogue.calls), E_UNEXPECTED; }

private:
    const IID& m_own;
};

class RogueSingleSignOn final : public Rogue<ISingleSignOn>
{
public:
    RogueSingleSignOn() : Rogue(IID_ISingleSignOn) {}
    IFACEMETHODIMP GetPrimaryUserApplication(IUnknown**) override { return Called(); }
} g_rogueSingleSignOn;

class RogueApplication final : public Rogue<IPrimaryUserApp3>
{
public:
    RogueApplication() : Rogue(IID_IPrimaryUserApp3) {}
    IFACEMETHODIMP GetTypeInfoCount(UINT*) override { return Called(); }
    IFACEMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return Called(); }
    IFACEMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return Called(); }
    IFACEMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return Called();
    }
    IFACEMETHODIMP GetApplicationName(BSTR*) override { return Called(); }
    IFACEMETHODIMP AuthenticateUser(BSTR, VARIANT_BOOL*) override { return Called(); }
} g_rogueApplication;

class RogueFactory final : public Rogue<IClassFactory>
{
public:
    RogueFactory() : Rogue(IID_IClassFactory) {}
    IFACEMETHODIMP CreateInstance(IUnknown*, REFIID iid, void** out) override
    {
        return g_rogueSingleSignOn.QueryInterface(iid, out);
    }
    IFACEMETHODIMP LockServer(BOOL) override { return S_OK; }
} g_rogueFactory;

std::wstring ProgramFile()
{
    wchar_t path[MAX_PATH] = {};
    return std::wstring(path, ::GetModuleFileNameW(nullptr, path, MAX_PATH));
}

// A copy of the signed test components with one byte of their code changed.
std::wstring TamperedCopy()
{
    const std::wstring copy = Widen(ProgramDirectory()) + L"tampered-vrk_fake_components.dll";
    EXPECT_TRUE(::CopyFileW(FakeComponentFile().c_str(), copy.c_str(), FALSE));
    Veyrak::UniqueHandle file(
        ::CreateFileW(copy.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    BYTE byte = 0;
    DWORD done = 0;
    EXPECT_TRUE(::SetFilePointer(file.get(), 0x1000, nullptr, FILE_BEGIN) == 0x1000 &&
                ::ReadFile(file.get(), &byte, 1, &done, nullptr) && done == 1);
    byte ^= 0x5a;
    EXPECT_TRUE(::SetFilePointer(file.get(), 0x1000, nullptr, FILE_BEGIN) == 0x1000 &&
                ::WriteFile(file.get(), &byte, 1, &done, nullptr) && done == 1);
    return copy;
}

const wchar_t kSsoMessage[] = L"VRKauth: failed to create signed SSO component";
const wchar_t kHandleManagerMessage[] = L"VRKauth: failed to create signed handle manager component";

} // namespace

// Standalone or inside an aggregate, a creation whose component fails leaves nothing behind.
TEST_F(AuthenticatorTest, ConstructionFailures_FailCreationWithTheStepsResultAndLeaveNothingBehind)
{
    for (const ComponentFailure& failure : kComponentFailures)
    {
        if (!failure.atCreation)
            break;
        SCOPED_TRACE(failure.name);
        ExpectCreationFails(failure.expected, failure.message, [&] { failure.arrange(m_script); });
    }
}

// Whatever stands in for a genuine, registered component, the integrity check refuses it with its
// own result before any of its code runs (a file it refuses is never loaded, an object it refuses is
// released uncalled), and the creation fails as any failed component does.
TEST_F(AuthenticatorTest, IntegrityRefusals_FailCreationWithTheirResult_RunNoRogueCode)
{
    const std::string sso = MachineClassKey(CLSID_VeyrakSingleSignOn),
                      handleManager = MachineClassKey(CLSID_VeyrakHandleManager);
    const std::wstring tampered = TamperedCopy(), program = ProgramFile();
    struct Row
    {
        const char* name;
        std::function<void()> arrange;
        HRESULT expected;
        const wchar_t* message;
        std::wstring neverLoaded;
    };
    const BYTE wasDebugged = ProcessEnvironmentBlock()->BeingDebugged;
    DWORD cookie = 0;
    const Row rows[] = {
        {"unsigned DLL",
         [&] { RegisterInprocServer(CLSID_VeyrakSingleSignOn, FakeComponentFile(FakeComponentCopy::Unsigned)); },
         TRUST_E_NOSIGNATURE, kSsoMessage, FakeComponentFile(FakeComponentCopy::Unsigned)},
        {"one byte changed", [&] { RegisterInprocServer(CLSID_VeyrakSingleSignOn, tampered); }, TRUST_E_BAD_DIGEST,
         kSsoMessage, tampered},
        {"signed by another publisher",
         [&] { RegisterInprocServer(CLSID_VeyrakHandleManager, FakeComponentFile(FakeComponentCopy::OtherPublisher)); },
         VRK_E_COMPONENT_NOT_MAKERS, kHandleManagerMessage, FakeComponentFile(FakeComponentCopy::OtherPublisher)},
        {"TreatAs another class",
         [&] { WriteString(HKEY_LOCAL_MACHINE, sso + "\\TreatAs", "", "{5F3D5012-F8A8-402F-97CF-927FE49BA9ED}"); },
         VRK_E_COMPONENT_REDIRECTED, kSsoMessage, L""},
        {"class object registered in the process",
         [&]
         {
             if (cookie) // the standalone round's
                 ::CoRevokeClassObject(std::exchange(cookie, 0));
             EXPECT_HR(S_OK, ::CoRegisterClassObject(CLSID_VeyrakSingleSignOn, &g_rogueFactory, CLSCTX_INPROC_SERVER,
                                                     REGCLS_MULTIPLEUSE, &cookie));
         },
         VRK_E_COMPONENT_NOT_VERIFIED_FILE, kSsoMessage, L""},
        {"application of an unsigned module", [&] { m_script.handOutApplication = &g_rogueApplication; },
         TRUST_E_NOSIGNATURE, L"VRKauth: QI(IPrimaryUserApp3) failed", L""},
        {"only a remote server",
         [&]
         {
             DeleteTree(HKEY_LOCAL_MACHINE, handleManager);
             WriteString(HKEY_LOCAL_MACHINE, handleManager, "AppID", "{5F3D5012-F8A8-402F-97CF-927FE49BA9ED}");
             WriteString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\AppID\\{5F3D5012-F8A8-402F-97CF-927FE49BA9ED}",
                         "RemoteServerName", "vrkserver");
         },
         VRK_E_COMPONENT_NOT_VERIFIABLE, kHandleManagerMessage, L""},
        {"only an in-process handler",
         [&]
         {
             DeleteTree(HKEY_LOCAL_MACHINE, sso);
             WriteString(HKEY_LOCAL_MACHINE, sso + "\\InprocHandler32", "", "ole32.dll");
         },
         VRK_E_COMPONENT_NOT_VERIFIABLE, kSsoMessage, L""},
        {"unsigned local server",
         [&]
         {
             DeleteTree(HKEY_LOCAL_MACHINE, handleManager);
             WriteString(HKEY_LOCAL_MACHINE, handleManager + "\\LocalServer32", "",
                         "\"" + std::string(program.begin(), program.end()) + "\" -Embedding");
         },
         TRUST_E_NOSIGNATURE, kHandleManagerMessage, L""},
        {"local server that a per-user registration overrides",
         [&]
         {
             DeleteTree(HKEY_LOCAL_MACHINE, handleManager);
             const std::wstring file = FakeComponentFile();
             WriteString(HKEY_LOCAL_MACHINE, handleManager + "\\LocalServer32", "",
                         std::string(file.begin(), file.end()));
             CreateKey(HKEY_CURRENT_USER, "Software\\Classes\\CLSID\\{5F3D5012-F8A8-402F-97CF-927FE49BA9ED}");
         },
         VRK_E_COMPONENT_NOT_VERIFIABLE, kHandleManagerMessage, L""},
        {"relative path", [&] { RegisterInprocServer(CLSID_VeyrakSingleSignOn, L"vrk_fake_components.dll"); },
         VRK_E_COMPONENT_RELATIVE_PATH, kSsoMessage, L""},
        {"variable in a plain string",
         [&] { RegisterInprocServer(CLSID_VeyrakSingleSignOn, L"%VRK_COMPONENTS%\\vrk_fake_components.dll"); },
         VRK_E_COMPONENT_RELATIVE_PATH, kSsoMessage, L""},
        {"missing file", [&] { RegisterInprocServer(CLSID_VeyrakSingleSignOn, program + L".missing.dll"); },
         HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), kSsoMessage, L""},
        {"debugger attached", [&] { ProcessEnvironmentBlock()->BeingDebugged = TRUE; }, E_ACCESSDENIED, kSsoMessage,
         L""},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.name);
        g_rogue = RogueCalls();
        ExpectCreationFails(row.expected, row.message, row.arrange);
        ProcessEnvironmentBlock()->BeingDebugged = wasDebugged;
        if (cookie)
            ::CoRevokeClassObject(std::exchange(cookie, 0));
        EXPECT_EQ(0, g_rogue.calls) << "a refused component's code ran";
        EXPECT_EQ(0, g_rogue.references) << "a refused object was not released";
        EXPECT_TRUE(row.neverLoaded.empty() || !::GetModuleHandleW(row.neverLoaded.c_str()))
            << "a refused file was loaded";
        DeleteTree(HKEY_CURRENT_USER, "Software\\Classes\\CLSID\\{5F3D5012-F8A8-402F-97CF-927FE49BA9ED}");
        DeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\AppID\\{5F3D5012-F8A8-402F-97CF-927FE49BA9ED}");
        for (const CLSID* clsid : {&CLSID_VeyrakSingleSignOn, &CLSID_VeyrakHandleManager})
        {
            RemoveClass(*clsid);
            EXPECT_EQ(ERROR_SUCCESS, RegisterInprocServer(*clsid, FakeComponentFile()));
        }
    }
}

// The genuine components pass the check however the machine names their file: through a variable of
// a REG_EXPAND_SZ path, as COM expands it; and a per-user registration in their place changes nothing,
// since the server reads the machine's classes only (Wine's COM ignores it too, so this shows only
// that the server does not follow it). What passed once vouches for no other file.
TEST_F(AuthenticatorTest, GenuineComponents_PassThroughAnExpandedPathDespiteAPerUserRegistration_AChangedCopyDoesNot)
{
    const std::wstring file = FakeComponentFile();
    ::SetEnvironmentVariableW(L"VRK_COMPONENTS", file.substr(0, file.find_last_of(L'\\')).c_str());
    ASSERT_EQ(ERROR_SUCCESS, RegisterInprocServer(CLSID_VeyrakSingleSignOn,
                                                  L"%VRK_COMPONENTS%\\vrk_fake_components.dll", REG_EXPAND_SZ));
    const std::string perUser = "Software\\Classes\\CLSID\\{2D070527-5F3F-4A0C-B426-2E598F6D470D}\\InprocServer32";
    WriteString(HKEY_CURRENT_USER, perUser, "", "C:\\nowhere\\rogue.dll");
    UniqueBstr user = Bstr(L"alice");
    VARIANT_BOOL valid = VARIANT_FALSE;
    ComPtr<IVRKsolutionAuthenticator1> object = Create();
    EXPECT_HR(S_OK, object ? object->Authenticate(nullptr, user.get(), &valid) : E_POINTER);
    EXPECT_EQ(VARIANT_TRUE, valid);
    EXPECT_EQ(1, m_record.singleSignOnCreated);
    DeleteTree(HKEY_CURRENT_USER, "Software\\Classes\\CLSID\\{2D070527-5F3F-4A0C-B426-2E598F6D470D}");

    // Each file has a verdict of its own: a changed copy registered later in the process is refused.
    object.Reset();
    ASSERT_EQ(ERROR_SUCCESS, RegisterInprocServer(CLSID_VeyrakSingleSignOn, TamperedCopy()));
    void* refused = reinterpret_cast<void*>(0xdeadbeef);
    EXPECT_HR(TRUST_E_BAD_DIGEST, m_dll.CreateAuthenticator(nullptr, IID_IUnknown, &refused));
    EXPECT_EQ(nullptr, refused);
}

// Whether the product is installed is read once, when an object is made: one made without it fails
// every request (a null out-pointer first). One made with it connects once, releasing the application
// before the SSO component that handed it out, and passes any texts whole; a false verdict is no failure.
TEST_F(AuthenticatorTest, InstallationAtCreation_DecidesAnObjectsAnswers_AndArgumentsPassWhole)
{
    ComPtr<IVRKsolutionAuthenticator1> connected = Create();
    const std::string releases = m_record.releases;
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
            m_script.verdict = verdict;
            valid = ~verdict;
            EXPECT_HR(S_OK, connected->Authenticate(inDomain ? odd.get() : plain.get(),
                                                    inDomain ? plain.get() : odd.get(), &valid));
            EXPECT_EQ(verdict, valid);
            EXPECT_TRUE((inDomain ? m_record.domain : m_record.user) == text);
            EXPECT_EQ(0, m_record.reserved);
            EXPECT_EQ(m_record.handleCreated, m_record.handleReceived);
        }
    EXPECT_HR(S_OK, connected->Authenticate(nullptr, plain.get(), &valid));
    EXPECT_EQ(L"<null>", m_record.domain);
    EXPECT_HR(S_OK, connected->Authenticate(empty.get(), plain.get(), &valid));
    EXPECT_EQ(L"", m_record.domain);
    EXPECT_FALSE(TakeErrorInfo().present) << "a success must not leave error information";
    EXPECT_EQ(1, m_record.singleSignOnCreated);
    EXPECT_EQ(1, m_record.handleManagerCreated);
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
        m_script = FakeScript(); // the record keeps counting the object's references
        if (failure.arrange)
            failure.arrange(m_script);
        const LONG handleCallsBefore = m_record.createUserHandleCalls;
        const LONG verdictCallsBefore = m_record.authenticateUserCalls;
        const bool nullValid = failure.expected == E_POINTER;
        UniqueBstr user = Bstr(userName);
        VARIANT_BOOL valid = VARIANT_TRUE;
        EXPECT_HR(failure.expected, object->Authenticate(nullptr, user.get(), nullValid ? nullptr : &valid));
        EXPECT_EQ(nullValid ? VARIANT_TRUE : VARIANT_FALSE, valid);
        ExpectAuthenticatorError(failure.message);
        EXPECT_EQ(failure.arrange ? 1 : 0, m_record.createUserHandleCalls - handleCallsBefore);
        EXPECT_EQ(failure.arrange && SUCCEEDED(m_script.createUserHandle) ? 1 : 0,
                  m_record.authenticateUserCalls - verdictCallsBefore);
    }
    EXPECT_HR(E_POINTER, object->IsInstalled(nullptr));
    ExpectAuthenticatorError(L"IsInstalled: NULL parameter: Installed");
}
