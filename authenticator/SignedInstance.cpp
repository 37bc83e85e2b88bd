// SignedInstance.cpp: creation of the maker's outside components behind the integrity check.
#include "authenticator/SignedInstance.h"

#include "Common/Utility/ComPtr.h"
#include "Common/Utility/Result.h"
#include "Common/Utility/VRKException.h"
#include "integrity/ComponentCheck.h"
#include "server/ServerModule.h"

#include "vrksolauth.h"

#include <objbase.h>

#include <mutex>

namespace Veyrak
{

namespace
{

// The files verified in this process, held until the module unloads.
VerifiedFiles g_verifiedFiles;
std::mutex g_cleanUpLock;
bool g_cleanUpRegistered = false;

void ForgetVerifiedFiles(DWORD_PTR)
{
    g_verifiedFiles.Clear();
}

// The process's verified files, once their clean-up is in the module's termination list.
HRESULT ProcessVerifiedFiles(VerifiedFiles*& files)
{
    std::lock_guard<std::mutex> hold(g_cleanUpLock);
    if (!g_cleanUpRegistered)
    {
        VRK_RETURN_IF_FAILED(TheServerModule().AddTerminationEntry(&ForgetVerifiedFiles, 0));
        g_cleanUpRegistered = true;
    }
    files = &g_verifiedFiles;
    return S_OK;
}

HRESULT CreateVerifiedInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object)
{
    VerifiedFiles* files = nullptr;
    VRK_RETURN_IF_FAILED(ProcessVerifiedFiles(files));
    const ComponentAssessment assessment = AssessComponent(clsid, context, *files);
    VRK_RETURN_IF_FAILED(assessment.verdict);
    ComPtr<IUnknown> created;
    VRK_RETURN_IF_FAILED(::CoCreateInstance(clsid, outer, assessment.context, iid, created.PutVoid()));
    // A changed registration, a per-user one, a class object registered in the process: COM may
    // have made the object from anything; only the verified file's own is kept.
    if (created && assessment.inProcess)
        VRK_RETURN_IF_FAILED(VerifyObjectLivesIn(created.Get(), assessment.identity));
    *object = created.Detach();
    return S_OK;
}

// A toolbox failure while reading the registration leaves the component unverified: refused.
template <typename Body> HRESULT GuardedCheck(Body&& body) noexcept
{
    try
    {
        return body();
    }
    catch (const VRKException&)
    {
        return VRK_E_COMPONENT_NOT_VERIFIABLE;
    }
    catch (const std::bad_alloc&)
    {
        return E_OUTOFMEMORY;
    }
    catch (...)
    {
        return E_UNEXPECTED;
    }
}

} // namespace

HRESULT CreateSignedInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object, void*)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    // A debugged process could inspect or redirect a component's answers.
    if (::IsDebuggerPresent())
        return E_ACCESSDENIED;
    return GuardedCheck([&] { return CreateVerifiedInstance(clsid, outer, context, iid, object); });
}

HRESULT VerifyHandedOutComponent(IUnknown* object)
{
    return GuardedCheck(
        [&]
        {
            VerifiedFiles* files = nullptr;
            VRK_RETURN_IF_FAILED(ProcessVerifiedFiles(files));
            return VerifyHandedOutObject(object, *files);
        });
}

} // namespace Veyrak
