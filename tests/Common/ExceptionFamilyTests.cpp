// Tests of the exception family's base contract.
#include "Common/Utility/COMError.h"

#include "support/TestSupport.h"

using namespace Veyrak;

TEST(ExceptionFamily, EmptyMessage_WhatGivesEmptyTextNotNull)
{
    EXPECT_STREQ("", VRKException("").what());
    EXPECT_STREQ("", COMError(E_FAIL, "", true, 0).what());
}
