// LegacyFailureExpectations.h: catches what an action raises, and checks that it fails with one
// exact legacy exception.
#pragma once

#include "Common/Utility/VRKLegacyException.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace VrkTest
{

// The exception of that type that action raised, if it raised one.
template <typename Exception, typename Action> std::optional<Exception> Caught(Action&& action)
{
    try
    {
        action();
    }
    catch (const Exception& error)
    {
        return error;
    }
    return std::nullopt;
}

struct LegacyFailure
{
    std::string message, throwSite;
    Veyrak::SeverityLevel severity;
    int code;
};

template <typename Action> void ExpectLegacyFailure(const LegacyFailure& expected, Action&& action)
{
    const auto error = Caught<Veyrak::VRKLegacyException>(action);
    ASSERT_TRUE(error) << "no exception; expected \"" << expected.message << "\"";
    EXPECT_EQ(expected.message, error->what());
    EXPECT_EQ(expected.throwSite, error->GetThrowSite());
    EXPECT_EQ(expected.severity, error->GetSeverity());
    EXPECT_EQ(expected.code, error->GetCode());
}

} // namespace VrkTest
