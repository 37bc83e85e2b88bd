// Components.h: the maker's two components as the authenticator creates them, with the class
// context it asks for each; "vrkauth info" assesses them the same way.
#pragma once

#include "VeyrakComponents.h"

#include <windows.h>

namespace Veyrak
{

constexpr DWORD kSsoClassContext = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;
constexpr DWORD kHandleManagerClassContext =
    CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;

struct ComponentDescription
{
    const char* name;
    const CLSID* clsid;
    DWORD context;
};

inline constexpr ComponentDescription kComponents[] = {
    {"SSO component", &CLSID_VeyrakSingleSignOn, kSsoClassContext},
    {"handle manager", &CLSID_VeyrakHandleManager, kHandleManagerClassContext},
};

} // namespace Veyrak
