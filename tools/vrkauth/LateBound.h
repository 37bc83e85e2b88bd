// LateBound.h: asks the authenticator the way a scripting host does: the class found by its
// version-independent ProgID, the methods found by name through IDispatch and called with
// Invoke. COM must be initialised on the calling thread.
#pragma once

#include "Answer.h"

#include <string>

namespace Vrkauth
{

Answer AskInstalledLateBound();
Answer AuthenticateLateBound(const std::wstring& domain, const std::wstring& user);

} // namespace Vrkauth
