// ComponentCheck.h: the component integrity check. Before one of the maker's components is
// created, its server is read from the machine's registration and its file verified; after, the
// object created must live in that very file.
#pragma once

#include "integrity/ComponentRegistration.h"
#include "integrity/VerifiedFiles.h"

#include <windows.h>
#include <unknwn.h>

#include <string>

namespace Veyrak
{

// What the check found for one component and a requested class context.
struct ComponentAssessment
{
    ComponentRegistration registration;
    // The file that would serve: the in-process server's DLL or the local server's program.
    std::wstring file;
    bool inProcess = false;
    // The class context that reaches the verified file and nothing else: CLSCTX_INPROC_SERVER,
    // so that no handler, surrogate or remote server stands in; or CLSCTX_LOCAL_SERVER.
    DWORD context = 0;
    FileIdentity identity;
    SignatureVerdict signature;
    // S_OK when the component may be created; otherwise the refusal:
    //   REGDB_E_CLASSNOTREG             the machine registers no server for the context
    //   VRK_E_COMPONENT_REDIRECTED      a TreatAs key sends COM to another class
    //   VRK_E_COMPONENT_NOT_VERIFIABLE  only a handler, a surrogate, a service or a remote server
    //                                   is registered, or a per-user registration overrides a
    //                                   local server's
    //   VRK_E_COMPONENT_RELATIVE_PATH   the registered file is not named by an absolute path
    //   the platform's result           the file cannot be opened, or its signature is not trusted
    //   VRK_E_COMPONENT_NOT_MAKERS      trusted, but signed by someone else than the maker
    HRESULT verdict = E_FAIL;
};

// Assesses the component of clsid for context. Throws the toolbox's exceptions when the
// registration cannot be read.
ComponentAssessment AssessComponent(REFCLSID clsid, DWORD context, VerifiedFiles& files);

// Whether the object's vtable lies in the module loaded from the verified file with this identity:
// the object was made by that file's code. VRK_E_COMPONENT_NOT_VERIFIED_FILE otherwise.
HRESULT VerifyObjectLivesIn(IUnknown* object, const FileIdentity& file, VerifiedFiles& files);

// For an object that a verified component handed out: one in process must live in a file that
// passes the check (verified now where it was not yet); one whose vtable lies in a module of the
// system folder is COM's proxy for an object in another apartment or process, which the verified
// component found, and is taken as it is.
HRESULT VerifyHandedOutObject(IUnknown* object, VerifiedFiles& files);

} // namespace Veyrak
