// LegacyFailureExpectations.h: checks that an action fails with one exact legacy exception.
#pragma once

#include "Common/Utility/VRKLegacyException.h"

#include <gtest/gtest.h>

#include <string>

namespace VrkTest
{

struct LegacyFailure
{
    std::string message;
    std::string throwSite;
    Veyrak::SeverityLevel severity;
    int code;
};

// Runs action and expects it to throw a VRKLegacyException with exactly these fields.
template <typename Action> void ExpectLegacyFailure(const LegacyFailure& expected, Action&& action)
{
    try
    {
        action();
        ADD_FAILURE() << "no exception; expected \"" << expected.message << "\"";
    }
    catch (const Veyrak::VRKLegacyException& error)
    {
        EXPECT_EQ(expected.message, error.what());
        EXPECT_EQ(expected.throwSite, error.GetThrowSite());
        EXPECT_EQ(expected.severity, error.GetSeverity());
        EXPECT_EQ(expected.code, error.GetCode());
    }
}

} // namespace VrkTest
