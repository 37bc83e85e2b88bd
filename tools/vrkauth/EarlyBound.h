// EarlyBound.h: asks the authenticator through the slots of IVRKsolutionAuthenticator1,
// after creating it by CLSID. COM must be initialised on the calling thread.
#pragma once

#include "Answer.h"

#include <string>

namespace Vrkauth
{

Answer AskInstalledEarlyBound();
Answer AuthenticateEarlyBound(const std::wstring& domain, const std::wstring& user);

} // namespace Vrkauth
