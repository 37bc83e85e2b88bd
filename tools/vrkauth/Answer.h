// Answer.h: what one question to the authenticator came back with.
#pragma once

#include "ErrorReport.h"

#include <string>

namespace Vrkauth
{

struct Answer
{
    bool succeeded = false;
    bool yes = false;       // installed, or valid; meaningful when succeeded
    std::string failedStep; // the call that failed, e.g. "Authenticate"; when !succeeded
    ErrorReport error;      // when !succeeded
};

inline Answer Yes(bool yes)
{
    Answer answer;
    answer.succeeded = true;
    answer.yes = yes;
    return answer;
}

inline Answer Failure(std::string step, ErrorReport error)
{
    Answer answer;
    answer.failedStep = std::move(step);
    answer.error = std::move(error);
    return answer;
}

} // namespace Vrkauth
