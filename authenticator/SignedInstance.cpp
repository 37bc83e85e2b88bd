// SignedInstance.cpp: creation of the maker's outside components behind the integrity check.
#include "authenticator/SignedInstance.h"

#include "Common/Utility/ComPtr.h"
#include "Common/Utility/Result.h"
#include "Common/Utility/VRKException.h"
#include "integrity/ComponentCheck.h"
#include "server/ServerModule.h"

#include "vrksolauth.h"

#include <objbase.h>

#include <memory>
#include <mutex>
#include <vector>

namespace Veyrak
{

namespace
{

// How an in-process component was found: the class context that reaches its verified file, and
// that file. Later creations go straight to COM with it while the machine's registration of the
// class stays as it was, so that COM never loads a file that was not checked first; each object is
// still checked against the verified file. A local server's plan is made at every creation: no
// object of its own tells afterwards which program made it.
struct Plan
{
    CLSID clsid;
    DWORD requested;
    DWORD context;
    bool inProcess;
    FileIdentity file;
    std::shared_ptr<RegistrationWatch> watch;
};

// The files verified in this process, held until the module unloads, and the plans made.
VerifiedFiles g_verifiedFiles;
std::mutex g_lock; // over the plans and the clean-up's registration
std::vector<Plan> g_plans;
bool g_cleanUpRegistered = false;

void ForgetVerifiedFiles(DWORD_PTR)
{
    {
        std::lock_guard<std::mutex> hold(g_lock);
        g_plans.clear();
    }
    g_verifiedFiles.Clear();
}

bool FindPlan(REFCLSID clsid, DWORD requested, Plan& found)
{
    std::lock_guard<std::mutex> hold(g_lock);
    for (const Plan& plan : g_plans)
        if (::IsEqualCLSID(plan.clsid, clsid) && plan.requested == requested)
        {
            found = plan;
            return true;
        }
    return false;
}

void ForgetPlan(REFCLSID clsid, DWORD requested)
{
    std::lock_guard<std::mutex> hold(g_lock);
    for (auto plan = g_plans.begin(); plan != g_plans.end(); ++plan)
        if (::IsEqualCLSID(plan->clsid, clsid) && plan->requested == requested)
        {
            g_plans.erase(plan);
            return;
        }
}

void RememberPlan(const Plan& plan)
{
    std::lock_guard<std::mutex> hold(g_lock);
    for (const Plan& other : g_plans)
        if (::IsEqualCLSID(other.clsid, plan.clsid) && other.requested == plan.requested)
            return;
    g_plans.push_back(plan);
}

// The process's verified files, once their clean-up is in the module's termination list.
HRESULT ProcessVerifiedFiles(VerifiedFiles*& files)
{
    std::lock_guard<std::mutex> hold(g_lock);
    if (!g_cleanUpRegistered)
    {
        VRK_RETURN_IF_FAILED(TheServerModule().AddTerminationEntry(&ForgetVerifiedFiles, 0));
        g_cleanUpRegistered = true;
    }
    files = &g_verifiedFiles;
    return S_OK;
}

HRESULT CreateFromPlan(const Plan& plan, IUnknown* outer, REFIID iid, void** object, VerifiedFiles& files)
{
    ComPtr<IUnknown> created;
    VRK_RETURN_IF_FAILED(::CoCreateInstance(plan.clsid, outer, plan.context, iid, created.PutVoid()));
    // A changed registration, a per-user one, a class object registered in the process: COM may
    // have made the object from anything; only the verified file's own is kept.
    if (created && plan.inProcess)
        VRK_RETURN_IF_FAILED(VerifyObjectLivesIn(created.Get(), plan.file, files));
    *object = created.Detach();
    return S_OK;
}

HRESULT CreateVerifiedInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object)
{
    VerifiedFiles* files = nullptr;
    VRK_RETURN_IF_FAILED(ProcessVerifiedFiles(files));
    Plan plan;
    const bool planned = FindPlan(clsid, context, plan);
    // A plan whose registration changed since is made anew (asked outside the lock: it waits on
    // the platform).
    if (planned && plan.watch->Changed())
        ForgetPlan(clsid, context);
    else if (planned)
    {
        const HRESULT result = CreateFromPlan(plan, outer, iid, object, *files);
        if (result != VRK_E_COMPONENT_NOT_VERIFIED_FILE)
            return result;
        // Something else than the verified file's code answered (a per-user registration, a class
        // object of the process): the registration is read again, to name the refusal. Nothing is
        // created a second time.
        ForgetPlan(clsid, context);
        const HRESULT verdict = AssessComponent(clsid, context, *files).verdict;
        return FAILED(verdict) ? verdict : result;
    }
    auto watch = std::make_shared<RegistrationWatch>();
    const bool watched = SUCCEEDED(watch->Start(clsid));
    const ComponentAssessment assessment = AssessComponent(clsid, context, *files);
    VRK_RETURN_IF_FAILED(assessment.verdict);
    plan = Plan{clsid, context, assessment.context, assessment.inProcess, assessment.identity, std::move(watch)};
    VRK_RETURN_IF_FAILED(CreateFromPlan(plan, outer, iid, object, *files));
    if (plan.inProcess && watched)
        RememberPlan(plan);
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
