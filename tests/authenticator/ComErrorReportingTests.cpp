// Tests of the error reporting routines and of the failure ladder at an operation's boundary.
#include "Common/Utility/COMError.h"
#include "Common/Utility/VRKAssertionFailedException.h"
#include "authenticator/ComErrorReporting.h"
#include "authenticator/FailureLadder.h"

#include "support/LegacyFailureExpectations.h"
#include "support/TestSupport.h"

#include "vrksolauth.h"

#include <new>
#include <stdexcept>

using namespace Veyrak;
using namespace VrkTest;

namespace
{

const CLSID& kClass = CLSID_VRKsolutionAuthenticator;
const IID& kInterface = IID_IVRKsolutionAuthenticator1;
constexpr HRESULT kServerFailure = static_cast<HRESULT>(0x80040201);

// A COMError of that mode, thrown as a copy.
template <LONG mode, bool nullGuid = false> HRESULT ThrowCopy()
{
    const COMError error(E_ABORT, "new", nullGuid, mode);
    throw error;
}

class ErrorReportingTest : public ::testing::Test
{
protected:
    void SetUp() override { ::SetErrorInfo(0, nullptr); }
    ComApartment m_apartment;
};

} // namespace

TEST_F(ErrorReportingTest, Texts_AsGivenOrUnknownError_DispExceptionForZero_SystemTextKeepsItsLineBreak_MisuseAsserts)
{
    EXPECT_HR(E_ACCESSDENIED, SetComErrorInfo(kClass, L"first", kInterface, E_ACCESSDENIED));
    ErrorInfoSnapshot info = TakeErrorInfo();
    EXPECT_EQ(L"first", info.description);
    EXPECT_TRUE(::IsEqualGUID(kInterface, info.guid));
    EXPECT_HR(DISP_E_EXCEPTION, SetComErrorInfo(kClass, L"second", kInterface, S_OK));
    EXPECT_EQ(L"second", TakeErrorInfo().description);

    // A null description is string resource 0, which the test program lacks, and then turns 0 into ITF 0.
    EXPECT_HR(static_cast<HRESULT>(0x80040000), SetComErrorInfo(kClass, nullptr, kInterface, S_OK));
    EXPECT_EQ(L"Unknown Error", TakeErrorInfo().description);
    EXPECT_HR(E_FAIL, ReportComError(kClass, nullptr, kInterface, E_FAIL));
    EXPECT_EQ(L"Unknown Error", TakeErrorInfo().description);
    const char text[] = "caf\xe9 failed"; // converted with the ANSI code page
    EXPECT_HR(E_FAIL, ReportComError(kClass, text, kInterface, E_FAIL));
    EXPECT_EQ(Widen(text), TakeErrorInfo().description);

    const std::string outOfMemory = SystemErrorText(E_OUTOFMEMORY);
    ASSERT_GE(outOfMemory.size(), 2u);
    EXPECT_EQ("\r\n", outOfMemory.substr(outOfMemory.size() - 2)) << "the closing line break is kept";
    EXPECT_EQ("Unknown Error", SystemErrorText(static_cast<HRESULT>(0x80047777)));

    // Misuse raises the toolbox's assertion, which names the check, the module and its place in the source
    // tree, and sets no error information: a report of a success code, a re-description with nothing pending.
    const char kPrecondition[] = "PreCondition Failure: HRESULT_SEVERITY(code) == SEVERITY_ERROR";
    const std::pair<void (*)(), const char*> misuses[] = {
        {[] { COMError::ReportHResult(kClass, S_OK); }, kPrecondition},
        {[] { COMError::ReportHResult(kClass, S_FALSE); }, kPrecondition},
        {[] { COMError(E_FAIL, "text", false, kErrorInfoRedescribe).Report(kClass, kInterface); },
         "Assertion Failure: FALSE"},
    };
    for (const auto& [misuse, text] : misuses)
    {
        const auto error = Caught<VRKAssertionFailedException>(misuse);
        ASSERT_TRUE(error) << "no assertion; expected " << text;
        EXPECT_STREQ(text, error->what());
        EXPECT_EQ("COMError", error->Module());
        EXPECT_EQ("authenticator/COMErrorReport.cpp", error->File());
        EXPECT_GT(error->Line(), 0);
        EXPECT_FALSE(TakeErrorInfo().present) << text;
    }
}

// The ladder finds information pending (text "pending", interface IDispatch); each body gives the
// result and leaves the information as its row says: replaced, re-described or left alone. The
// COMErrors are thrown as copies, as a body that kept one would throw it.
TEST_F(ErrorReportingTest, FailureLadder_TurnsEveryKindOfExceptionIntoItsResultAndInformation)
{
    const struct
    {
        const char* label;
        HRESULT (*body)();
        HRESULT expected;
        const wchar_t* description; // null: the system's text for the result
        const GUID* guid;
    } rows[] = {
        {"COMError", []() -> HRESULT { ThrowCOMError(E_ACCESSDENIED, "denied"); }, E_ACCESSDENIED, L"denied",
         &kInterface},
        {"COMError passing through", ThrowCopy<kErrorInfoPassThrough>, E_ABORT, L"pending", &IID_IDispatch},
        {"COMError describing", ThrowCopy<kErrorInfoDescribe>, E_ABORT, L"new", &kInterface},
        {"COMError describing, null GUID", ThrowCopy<kErrorInfoDescribe, true>, E_ABORT, L"new", &GUID_NULL},
        {"COMError re-describing", ThrowCopy<kErrorInfoRedescribe, true>, E_ABORT, L"new", &IID_IDispatch},
        {"COMError of another mode", ThrowCopy<7>, E_ABORT, L"new", &IID_IDispatch},
        {"toolbox exception", []() -> HRESULT { throw VRKException("toolbox"); }, kServerFailure, L"toolbox",
         &kInterface},
        {"bad_alloc", []() -> HRESULT { throw std::bad_alloc(); }, E_OUTOFMEMORY, nullptr, &GUID_NULL},
        {"invalid_argument", []() -> HRESULT { throw std::invalid_argument("x"); }, E_INVALIDARG, nullptr, &GUID_NULL},
        {"other standard exception", []() -> HRESULT { throw std::runtime_error("x"); }, kServerFailure, nullptr,
         &GUID_NULL},
        {"success", [] { return S_FALSE; }, S_FALSE, L"pending", &IID_IDispatch},
        {"non-standard exception", []() -> HRESULT { throw 42; }, E_UNEXPECTED, L"pending", &IID_IDispatch},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.label);
        SetComErrorInfo(kClass, L"pending", IID_IDispatch, E_FAIL);
        EXPECT_HR(row.expected, RunGuarded(kClass, kInterface, row.body));
        ErrorInfoSnapshot info = TakeErrorInfo();
        EXPECT_EQ(row.description ? row.description : Widen(SystemErrorText(row.expected)), info.description);
        EXPECT_TRUE(::IsEqualGUID(*row.guid, info.guid));
    }
}
