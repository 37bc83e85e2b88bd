// Answer.h: what one question to the authenticator came back with.
#pragma once

#include "ErrorReport.h"

#include <string>

namespace Vrkauth
{

// Where the authenticator is created: in process where this architecture's server is
// registered, otherwise out of process, as where 64-bit clients reach the 32-bit server in
// the system's surrogate ("vrkauth surrogate on").
constexpr DWORD kAuthenticatorContext = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER;

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
