// FakeComponentSupport.cpp: the tests' side of the test components.
#include "FakeComponents.h"

#include "support/MachineClasses.h"
#include "support/TestSupport.h"

namespace VrkTest
{

std::wstring FakeComponentFile(FakeComponentCopy copy)
{
    const char* folder = copy == FakeComponentCopy::Signed           ? "components\\"
                         : copy == FakeComponentCopy::OtherPublisher ? "other-publisher\\"
                                                                     : "";
    return Widen(ProgramDirectory() + folder + "vrk_fake_components.dll");
}

FakeComponents::FakeComponents() : m_state(&m_unavailable)
{
    const std::wstring file = FakeComponentFile();
    for (const CLSID* clsid : {&CLSID_VeyrakSingleSignOn, &CLSID_VeyrakHandleManager})
    {
        RemoveClass(*clsid);
        EXPECT_EQ(ERROR_SUCCESS, RegisterInprocServer(*clsid, file)) << "cannot register the test components";
    }
    // The very module that COM loads from the registered path: its one state.
    const HMODULE module = ::LoadLibraryW(file.c_str());
    const auto state = module ? reinterpret_cast<FakeComponentStateFunction>(
                                    reinterpret_cast<void*>(::GetProcAddress(module, "VrkFakeComponentState")))
                              : nullptr;
    EXPECT_TRUE(state) << "cannot load the test components' state from " << file;
    if (state)
        m_state = state();
    Reset();
}

FakeComponents::~FakeComponents()
{
    RemoveClass(CLSID_VeyrakSingleSignOn);
    RemoveClass(CLSID_VeyrakHandleManager);
}

const ComponentFailure kComponentFailures[7] = {
    {"SSO component not creatable", [](FakeScript& s) { s.createSingleSignOn = REGDB_E_CLASSNOTREG; }, true,
     REGDB_E_CLASSNOTREG, L"VRKauth: failed to create signed SSO component"},
    {"GetPrimaryUserApplication fails", [](FakeScript& s) { s.getApplication = static_cast<HRESULT>(0x80045678); },
     true, static_cast<HRESULT>(0x80045678), L"VRKauth: failed to GetPrimaryUserApplication"},
    {"GetPrimaryUserApplication delivers null", [](FakeScript& s) { s.deliverNullApplication = true; }, true,
     E_UNEXPECTED, L"VRKauth: failed to GetPrimaryUserApplication"},
    {"application refuses IPrimaryUserApp3", [](FakeScript& s) { s.applicationRefusesApp3 = true; }, true,
     E_NOINTERFACE, L"VRKauth: QI(IPrimaryUserApp3) failed"},
    {"handle manager not creatable", [](FakeScript& s) { s.createHandleManager = E_OUTOFMEMORY; }, true, E_OUTOFMEMORY,
     L"VRKauth: failed to create signed handle manager component"},
    {"CreateUserHandle fails", [](FakeScript& s) { s.createUserHandle = E_ACCESSDENIED; }, false, E_ACCESSDENIED,
     L"_CreateHandle: failed to create a user handle"},
    // The component writes a true verdict before it fails.
    {"AuthenticateUser fails", [](FakeScript& s) { s.authenticateUser = CO_E_SERVER_EXEC_FAILURE; }, false,
     CO_E_SERVER_EXEC_FAILURE, L"Authenticate: AuthenticateUser failed"},
};

} // namespace VrkTest
