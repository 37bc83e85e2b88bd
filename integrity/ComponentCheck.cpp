// ComponentCheck.cpp: where a component comes from, and whether what was made is what was verified.
#include "integrity/ComponentCheck.h"

#include "Common/Utility/Result.h"

#include "vrksolauth.h"

#include <vector>

namespace Veyrak
{

namespace
{

// Picks the server that COM would use for context among those the machine registers, and the
// context that reaches that server alone; a registration that the check cannot follow to a file
// of its own is refused.
HRESULT ChooseServer(const ComponentRegistration& registration, DWORD context, ComponentAssessment& assessment,
                     REFCLSID clsid)
{
    if (!registration.registered)
        return REGDB_E_CLASSNOTREG;
    if (registration.redirected)
        return VRK_E_COMPONENT_REDIRECTED;
    if ((context & CLSCTX_INPROC_SERVER) && !registration.inprocServer.empty())
    {
        assessment.file = registration.inprocServer;
        assessment.inProcess = true;
        assessment.context = CLSCTX_INPROC_SERVER;
        return S_OK;
    }
    if ((context & CLSCTX_LOCAL_SERVER) && !registration.localServer.empty())
    {
        // Once a process of another program serves, nothing tells which program it is: a per-user
        // registration that COM would start instead must not be there at all.
        if (HasPerUserRegistration(clsid))
            return VRK_E_COMPONENT_NOT_VERIFIABLE;
        assessment.file = registration.localServer;
        assessment.context = CLSCTX_LOCAL_SERVER;
        return S_OK;
    }
    const bool unverifiable = ((context & CLSCTX_INPROC_HANDLER) && registration.inprocHandler) ||
                              ((context & (CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)) && registration.otherServer);
    return unverifiable ? VRK_E_COMPONENT_NOT_VERIFIABLE : REGDB_E_CLASSNOTREG;
}

// The module whose image holds address; null for memory outside every module.
HMODULE ModuleHolding(const void* address)
{
    HMODULE module = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              static_cast<LPCWSTR>(address), &module))
        return nullptr;
    return module;
}

// The module that holds the object's table of operations: the code that answers its calls.
HMODULE ModuleOfObject(IUnknown* object)
{
    return object ? ModuleHolding(*reinterpret_cast<void* const*>(object)) : nullptr;
}

bool InFolder(const std::wstring& path, const wchar_t* folder, UINT length)
{
    return length > 0 && path.size() > length && path[length] == L'\\' &&
           ::CompareStringOrdinal(path.c_str(), static_cast<int>(length), folder, static_cast<int>(length), TRUE) ==
               CSTR_EQUAL;
}

bool InSystemFolder(const std::wstring& path)
{
    wchar_t folder[MAX_PATH];
    UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (length < MAX_PATH && InFolder(path, folder, length))
        return true;
    length = ::GetSystemWow64DirectoryW(folder, MAX_PATH);
    return length < MAX_PATH && InFolder(path, folder, length);
}

} // namespace

ComponentAssessment AssessComponent(REFCLSID clsid, DWORD context, VerifiedFiles& files)
{
    ComponentAssessment assessment;
    assessment.registration = ReadMachineRegistration(clsid);
    assessment.verdict = ChooseServer(assessment.registration, context, assessment, clsid);
    if (FAILED(assessment.verdict))
        return assessment;
    if (!IsAbsolutePath(assessment.file))
    {
        assessment.verdict = VRK_E_COMPONENT_RELATIVE_PATH;
        return assessment;
    }
    assessment.verdict = files.Verify(assessment.file, assessment.identity, &assessment.signature);
    return assessment;
}

HRESULT VerifyObjectLivesIn(IUnknown* object, const FileIdentity& file, VerifiedFiles& files)
{
    return files.VerifyModule(ModuleOfObject(object), file);
}

HRESULT VerifyHandedOutObject(IUnknown* object, VerifiedFiles& files)
{
    const HMODULE module = ModuleOfObject(object);
    if (!module)
        return VRK_E_COMPONENT_NOT_VERIFIED_FILE;
    if (files.IsKnownModule(module))
        return S_OK;
    const std::wstring path = ModuleFileName(module);
    if (!path.empty() && InSystemFolder(path))
        return S_OK;
    return files.VerifyAnyModule(module);
}

} // namespace Veyrak
