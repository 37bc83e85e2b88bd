// Tests of the exception family and ThrowCOMError.
#include "Common/Utility/COMError.h"
#include "Common/Utility/VRKAssertionFailedException.h"

#include "support/TestSupport.h"

#include <cstring>
#include <stdexcept>

using namespace Veyrak;

TEST(ExceptionFamily, ThrowCOMError_RaisesDescribeModeCOMErrorWithHResultAndText)
{
    try
    {
        ThrowCOMError(E_POINTER, "IsInstalled: NULL parameter: Installed");
        FAIL() << "ThrowCOMError returned";
    }
    catch (const COMError& error)
    {
        EXPECT_HR(E_POINTER, error.GetHRESULT());
        EXPECT_STREQ("IsInstalled: NULL parameter: Installed", error.what());
        EXPECT_FALSE(error.NullGuid());
        EXPECT_EQ(2, error.InfoMode());
    }
}

TEST(ExceptionFamily, COMError_CaughtThroughItsBases_KeepsMessageAndHResult)
{
    try
    {
        ThrowCOMError(E_INVALIDARG, "some text");
    }
    catch (const VRKException& error)
    {
        EXPECT_STREQ("some text", error.what());
        const auto* withCode = dynamic_cast<const VRKCOMException*>(&error);
        ASSERT_NE(nullptr, withCode);
        EXPECT_HR(E_INVALIDARG, withCode->GetHRESULT());
    }
    // The toolbox family is caught by a plain std::exception handler too.
    EXPECT_THROW(ThrowCOMError(E_FAIL, "x"), std::exception);
}

TEST(ExceptionFamily, EmptyMessage_WhatGivesEmptyTextNotNull)
{
    VRKException empty("");
    ASSERT_NE(nullptr, empty.what());
    EXPECT_STREQ("", empty.what());
    COMError error(E_FAIL, "", true, 0);
    ASSERT_NE(nullptr, error.what());
    EXPECT_STREQ("", error.what());
}

TEST(ExceptionFamily, Copies_CarryEveryField)
{
    VRKAssertionFailedException original("Assertion Failure: FALSE", 42, "Common\\Utility\\COMError", "COMError");
    VRKAssertionFailedException copy(original);
    EXPECT_STREQ(original.what(), copy.what());
    EXPECT_EQ(42, copy.Line());
    EXPECT_EQ("Common\\Utility\\COMError", copy.File());
    EXPECT_EQ("COMError", copy.Module());

    COMError error(E_OUTOFMEMORY, "out of memory", true, 1);
    COMError errorCopy(error);
    EXPECT_HR(E_OUTOFMEMORY, errorCopy.GetHRESULT());
    EXPECT_STREQ("out of memory", errorCopy.what());
    EXPECT_TRUE(errorCopy.NullGuid());
    EXPECT_EQ(1, errorCopy.InfoMode());
}

TEST(ExceptionFamily, AssertionMacros_CarryExpressionTextAndSourcePosition)
{
    try
    {
        VRK_PRECONDITION("Tests", 1 + 1 == 3);
        FAIL() << "precondition passed";
    }
    catch (const VRKAssertionFailedException& error)
    {
        EXPECT_STREQ("PreCondition Failure: 1 + 1 == 3", error.what());
        EXPECT_EQ("Tests", error.Module());
        EXPECT_GT(error.Line(), 0);
        // Source paths are recorded relative to the source tree.
        EXPECT_EQ(0u, error.File().find("tests/Common/")) << error.File();
    }
}
