// Tests of the exception family and ThrowCOMError.
#include "Common/Utility/COMError.h"

#include "support/TestSupport.h"

using namespace Veyrak;

TEST(ExceptionFamily, ThrowCOMError_RaisesDescribeModeCOMErrorCaughtThroughItsBase)
{
    try
    {
        ThrowCOMError(E_POINTER, "IsInstalled: NULL parameter: Installed");
    }
    catch (const VRKException& caught)
    {
        EXPECT_STREQ("IsInstalled: NULL parameter: Installed", caught.what());
        const auto* error = dynamic_cast<const COMError*>(&caught);
        ASSERT_NE(nullptr, error);
        EXPECT_HR(E_POINTER, error->GetHRESULT());
        EXPECT_FALSE(error->NullGuid());
        EXPECT_EQ(2, error->InfoMode());
    }
    EXPECT_THROW(ThrowCOMError(E_FAIL, "x"), std::exception);
}

TEST(ExceptionFamily, EmptyMessage_WhatGivesEmptyTextNotNull)
{
    // A null pointer would not compare equal to the empty text.
    EXPECT_STREQ("", VRKException("").what());
    EXPECT_STREQ("", COMError(E_FAIL, "", true, 0).what());
}
