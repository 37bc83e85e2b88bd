// Tests of the error reporting routines and of the failure ladder at an operation's boundary.
#include "Common/Utility/COMError.h"
#include "Common/Utility/VRKAssertionFailedException.h"
#include "authenticator/ComErrorReporting.h"
#include "authenticator/FailureLadder.h"

#include "LegacyFailureExpectations.h"
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
constexpr HRESULT kCodeWithoutSystemText = static_cast<HRESULT>(0x80047777);
constexpr HRESULT kServerFailure = static_cast<HRESULT>(0x80040201);

class ErrorReportingTest : public ::testing::Test
{
protected:
    void SetUp() override { ::SetErrorInfo(0, nullptr); }
    ComApartment m_apartment;
};

} // namespace

TEST_F(ErrorReportingTest, SetComErrorInfo_SetsTextAndInterface_UnknownErrorForNull_DispExceptionForZero)
{
    EXPECT_HR(E_ACCESSDENIED, SetComErrorInfo(kClass, L"first", kInterface, E_ACCESSDENIED));
    ErrorInfoSnapshot info = TakeErrorInfo();
    EXPECT_EQ(L"first", info.description);
    EXPECT_TRUE(::IsEqualGUID(kInterface, info.guid));
    EXPECT_EQ(L"", info.source) << "the class is not registered in this test";

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
}

TEST_F(ErrorReportingTest, ReportHResult_LeavesTheSystemTextWithItsLineBreakOrUnknownErrorAndNoInterface)
{
    const std::string outOfMemory = SystemErrorText(E_OUTOFMEMORY);
    ASSERT_GE(outOfMemory.size(), 2u);
    EXPECT_NE("Unknown Error", outOfMemory);
    EXPECT_EQ("\r\n", outOfMemory.substr(outOfMemory.size() - 2)) << "the closing line break is kept";
    EXPECT_EQ("Unknown Error", SystemErrorText(kCodeWithoutSystemText));

    EXPECT_HR(E_OUTOFMEMORY, COMError::ReportHResult(kClass, E_OUTOFMEMORY));
    ErrorInfoSnapshot info = TakeErrorInfo();
    EXPECT_EQ(Widen(outOfMemory), info.description);
    EXPECT_TRUE(::IsEqualGUID(GUID_NULL, info.guid));
}

// Misuse raises the toolbox's assertion (its file named relative to the source tree) and sets no
// error information: a report of a success code, a re-description with nothing pending.
TEST_F(ErrorReportingTest, Misuse_RaisesTheAssertionAndSetsNothing)
{
    for (HRESULT code : {S_OK, S_FALSE})
    {
        const auto error = Caught<VRKAssertionFailedException>([&] { COMError::ReportHResult(kClass, code); });
        ASSERT_TRUE(error) << HResultText(code);
        EXPECT_EQ("authenticator/COMErrorReport.cpp", error->File());
        EXPECT_FALSE(TakeErrorInfo().present);
    }
    const COMError redescribe(E_FAIL, "text", false, kErrorInfoRedescribe);
    EXPECT_TRUE(Caught<VRKAssertionFailedException>([&] { redescribe.Report(kClass, kInterface); }));
    EXPECT_FALSE(TakeErrorInfo().present);
}

TEST_F(ErrorReportingTest, Report_PassesThroughDescribesOrRedescribesByMode)
{
    struct Row
    {
        LONG mode;
        bool nullGuid;
        const wchar_t* description;
        const GUID* guid;
    };
    // Information is pending with IDispatch as its interface; re-describing keeps that GUID.
    const Row rows[] = {
        {kErrorInfoPassThrough, false, L"pending", &IID_IDispatch},
        {kErrorInfoDescribe, false, L"new", &kInterface},
        {kErrorInfoDescribe, true, L"new", &GUID_NULL},
        {kErrorInfoRedescribe, true, L"new", &IID_IDispatch},
        {7, false, L"new", &IID_IDispatch},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(::testing::Message() << "mode " << row.mode << ", null GUID " << row.nullGuid);
        SetComErrorInfo(kClass, L"pending", IID_IDispatch, E_FAIL);
        EXPECT_HR(E_ACCESSDENIED, COMError(E_ACCESSDENIED, "new", row.nullGuid, row.mode).Report(kClass, kInterface));
        ErrorInfoSnapshot info = TakeErrorInfo();
        EXPECT_EQ(row.description, info.description);
        EXPECT_TRUE(::IsEqualGUID(*row.guid, info.guid));
    }
}

TEST_F(ErrorReportingTest, FailureLadder_TurnsEveryKindOfExceptionIntoItsResult)
{
    struct Rung
    {
        HRESULT (*body)();
        HRESULT expected;
        const GUID* guid;
        const wchar_t* description; // null: the system's text for the result
    };
    const Rung rungs[] = {
        {[]() -> HRESULT { ThrowCOMError(E_ACCESSDENIED, "denied"); }, E_ACCESSDENIED, &kInterface, L"denied"},
        {[]() -> HRESULT { throw VRKException("toolbox"); }, kServerFailure, &kInterface, L"toolbox"},
        {[]() -> HRESULT { throw std::bad_alloc(); }, E_OUTOFMEMORY, &GUID_NULL, nullptr},
        {[]() -> HRESULT { throw std::invalid_argument("not shown"); }, E_INVALIDARG, &GUID_NULL, nullptr},
        {[]() -> HRESULT { throw std::runtime_error("not shown"); }, kServerFailure, &GUID_NULL, nullptr},
    };
    for (const Rung& rung : rungs)
    {
        SCOPED_TRACE(HResultText(rung.expected) + " from rung " + std::to_string(&rung - rungs));
        EXPECT_HR(rung.expected, RunGuarded(kClass, kInterface, rung.body));
        ErrorInfoSnapshot info = TakeErrorInfo();
        EXPECT_EQ(rung.description ? rung.description : Widen(SystemErrorText(rung.expected)), info.description);
        EXPECT_TRUE(::IsEqualGUID(*rung.guid, info.guid));
    }
    // Success passes through untouched; a non-standard exception is stopped too.
    EXPECT_HR(S_FALSE, RunGuarded(kClass, kInterface, [] { return S_FALSE; }));
    EXPECT_FALSE(TakeErrorInfo().present);
    EXPECT_HR(E_UNEXPECTED, RunGuarded(kClass, kInterface, []() -> HRESULT { throw 42; }));
}
