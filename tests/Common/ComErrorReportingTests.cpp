// Tests of the error reporting routines and of the failure ladder at an operation's boundary.
#include "Common/Utility/COMError.h"
#include "Common/Utility/VRKAssertionFailedException.h"
#include "authenticator/ComErrorReporting.h"
#include "authenticator/FailureLadder.h"

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

class ErrorReportingTest : public ::testing::Test
{
protected:
    void SetUp() override { ::SetErrorInfo(0, nullptr); }
    void TearDown() override { ::SetErrorInfo(0, nullptr); }
    ComApartment m_apartment;
};

} // namespace

// --- SetComErrorInfo and ReportComError ---

TEST_F(ErrorReportingTest, SetComErrorInfo_LeavesDescriptionAndInterfaceAndMapsZeroToDispException)
{
    EXPECT_HR(E_ACCESSDENIED, SetComErrorInfo(kClass, L"first", kInterface, E_ACCESSDENIED));
    ErrorInfoSnapshot info = TakeErrorInfo();
    ASSERT_TRUE(info.present);
    EXPECT_EQ(L"first", info.description);
    EXPECT_TRUE(::IsEqualGUID(kInterface, info.guid));
    EXPECT_EQ(L"", info.source) << "the class is not registered in this test";

    EXPECT_HR(DISP_E_EXCEPTION, SetComErrorInfo(kClass, L"second", kInterface, S_OK));
    EXPECT_EQ(L"second", TakeErrorInfo().description);
}

TEST_F(ErrorReportingTest, NullDescription_FallsBackToUnknownErrorAndAZeroResultBecomesItfZero)
{
    // The test program carries no string resource 0.
    EXPECT_HR(MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0), SetComErrorInfo(kClass, nullptr, kInterface, S_OK));
    EXPECT_EQ(L"Unknown Error", TakeErrorInfo().description);

    EXPECT_HR(E_FAIL, ReportComError(kClass, nullptr, kInterface, E_FAIL));
    EXPECT_EQ(L"Unknown Error", TakeErrorInfo().description);
}

TEST_F(ErrorReportingTest, ReportComError_ConvertsNarrowTextWithTheAnsiCodePage)
{
    const char text[] = "caf\xe9 failed"; // an ANSI character above 127
    EXPECT_HR(E_FAIL, ReportComError(kClass, text, kInterface, E_FAIL));
    EXPECT_EQ(Widen(text), TakeErrorInfo().description);
}

// --- System texts ---

TEST_F(ErrorReportingTest, SystemErrorText_IsTheSystemsMessageOrUnknownError)
{
    std::string outOfMemory = SystemErrorText(E_OUTOFMEMORY);
    ASSERT_GE(outOfMemory.size(), 2u);
    EXPECT_NE("Unknown Error", outOfMemory);
    EXPECT_EQ("\r\n", outOfMemory.substr(outOfMemory.size() - 2)) << "the closing line break is kept";
    EXPECT_EQ("Unknown Error", SystemErrorText(kCodeWithoutSystemText));
}

TEST_F(ErrorReportingTest, ReportHResult_UsesTheSystemTextAndNoInterface)
{
    EXPECT_HR(E_OUTOFMEMORY, COMError::ReportHResult(kClass, E_OUTOFMEMORY));
    ErrorInfoSnapshot info = TakeErrorInfo();
    EXPECT_EQ(Widen(SystemErrorText(E_OUTOFMEMORY)), info.description);
    EXPECT_TRUE(::IsEqualGUID(GUID_NULL, info.guid));

    EXPECT_HR(kCodeWithoutSystemText, COMError::ReportHResult(kClass, kCodeWithoutSystemText));
    EXPECT_EQ(L"Unknown Error", TakeErrorInfo().description);
}

TEST_F(ErrorReportingTest, ReportHResult_WithASuccessCode_RaisesThePreconditionAndSetsNothing)
{
    for (HRESULT code : {S_OK, S_FALSE})
    {
        try
        {
            COMError::ReportHResult(kClass, code);
            ADD_FAILURE() << "no exception for " << HResultText(code);
        }
        catch (const VRKAssertionFailedException& error)
        {
            EXPECT_STREQ("PreCondition Failure: HRESULT_SEVERITY(code) == SEVERITY_ERROR", error.what());
            EXPECT_EQ("COMError", error.Module());
            EXPECT_EQ("Common/Utility/COMError.cpp", error.File());
        }
        EXPECT_FALSE(TakeErrorInfo().present);
    }
}

// --- COMError::Report in its three modes ---

TEST_F(ErrorReportingTest, Report_PassThroughLeavesTheThreadsInformationAlone)
{
    SetComErrorInfo(kClass, L"pending", kInterface, E_FAIL);
    COMError error(E_ACCESSDENIED, "ignored", false, kErrorInfoPassThrough);
    EXPECT_HR(E_ACCESSDENIED, error.Report(kClass, kInterface));
    EXPECT_EQ(L"pending", TakeErrorInfo().description);
}

TEST_F(ErrorReportingTest, Report_DescribeUsesTheMessageAndTheInterfaceOrNullGuid)
{
    EXPECT_HR(E_ACCESSDENIED,
              COMError(E_ACCESSDENIED, "described", false, kErrorInfoDescribe).Report(kClass, kInterface));
    ErrorInfoSnapshot info = TakeErrorInfo();
    EXPECT_EQ(L"described", info.description);
    EXPECT_TRUE(::IsEqualGUID(kInterface, info.guid));

    EXPECT_HR(E_FAIL, COMError(E_FAIL, "no interface", true, kErrorInfoDescribe).Report(kClass, kInterface));
    EXPECT_TRUE(::IsEqualGUID(GUID_NULL, TakeErrorInfo().guid));
}

TEST_F(ErrorReportingTest, Report_RedescribeKeepsThePendingGuidAndReplacesTheText)
{
    const IID pendingInterface = IID_IDispatch;
    SetComErrorInfo(kClass, L"old text", pendingInterface, E_FAIL);
    COMError error(E_INVALIDARG, "new text", false, 7); // any mode but 0 and 2 re-describes
    EXPECT_HR(E_INVALIDARG, error.Report(kClass, kInterface));
    ErrorInfoSnapshot info = TakeErrorInfo();
    EXPECT_EQ(L"new text", info.description);
    EXPECT_TRUE(::IsEqualGUID(pendingInterface, info.guid));
}

TEST_F(ErrorReportingTest, Report_RedescribeWithNothingPending_RaisesTheAssertion)
{
    COMError error(E_FAIL, "text", false, kErrorInfoRedescribe);
    try
    {
        error.Report(kClass, kInterface);
        FAIL() << "no exception";
    }
    catch (const VRKAssertionFailedException& failure)
    {
        EXPECT_STREQ("Assertion Failure: FALSE", failure.what());
    }
    EXPECT_FALSE(TakeErrorInfo().present);
}

// --- The failure ladder ---

TEST_F(ErrorReportingTest, FailureLadder_TurnsEveryKindOfExceptionIntoItsResult)
{
    struct Rung
    {
        const char* name;
        void (*raise)();
        HRESULT expected;
        bool interfaceGuid;
        std::wstring description;
    };
    const Rung rungs[] = {
        {"COMError", [] { ThrowCOMError(E_ACCESSDENIED, "denied here"); }, E_ACCESSDENIED, true, L"denied here"},
        {"other toolbox exception", [] { throw VRKException("toolbox text"); }, kNoOwnResult, true, L"toolbox text"},
        {"bad_alloc", [] { throw std::bad_alloc(); }, E_OUTOFMEMORY, false, Widen(SystemErrorText(E_OUTOFMEMORY))},
        {"invalid_argument", [] { throw std::invalid_argument("not shown"); }, E_INVALIDARG, false,
         Widen(SystemErrorText(E_INVALIDARG))},
        {"other standard exception", [] { throw std::runtime_error("not shown"); }, kNoOwnResult, false,
         Widen(SystemErrorText(kNoOwnResult))},
    };
    for (const Rung& rung : rungs)
    {
        SCOPED_TRACE(rung.name);
        EXPECT_HR(rung.expected, RunGuarded(kClass, kInterface,
                                            [&]() -> HRESULT
                                            {
                                                rung.raise();
                                                return S_OK;
                                            }));
        ErrorInfoSnapshot info = TakeErrorInfo();
        EXPECT_EQ(rung.description, info.description);
        EXPECT_TRUE(::IsEqualGUID(rung.interfaceGuid ? kInterface : GUID_NULL, info.guid));
    }
    EXPECT_HR(static_cast<HRESULT>(0x80040201), kNoOwnResult);
}

TEST_F(ErrorReportingTest, FailureLadder_PassesSuccessThroughAndStopsForeignExceptions)
{
    EXPECT_HR(S_FALSE, RunGuarded(kClass, kInterface, [] { return S_FALSE; }));
    EXPECT_FALSE(TakeErrorInfo().present);
    EXPECT_HR(E_UNEXPECTED, RunGuarded(kClass, kInterface, []() -> HRESULT { throw 42; }));
}
