// ComponentReport.cpp: the integrity check's assessment of each of the maker's components.
#include "ComponentReport.h"

#include "ErrorReport.h"

#include "Common/Utility/GuidText.h"
#include "Common/Utility/VRKException.h"
#include "authenticator/Components.h"
#include "integrity/ComponentCheck.h"

#include "vrksolauth.h"

#include <cstdio>
#include <string>

namespace Vrkauth
{

namespace
{

const char* Reason(HRESULT result)
{
    switch (result)
    {
        case S_OK:
            return "accepted";
        case REGDB_E_CLASSNOTREG:
            return "not registered";
        case VRK_E_COMPONENT_NOT_MAKERS:
            return "refused: signed, but not by the maker";
        case VRK_E_COMPONENT_REDIRECTED:
            return "refused: redirected to another class (TreatAs)";
        case VRK_E_COMPONENT_RELATIVE_PATH:
            return "refused: its file is not named by an absolute path";
        case VRK_E_COMPONENT_NOT_VERIFIABLE:
            return "refused: served by something the check cannot verify";
        case TRUST_E_NOSIGNATURE:
            return "refused: not signed";
        case TRUST_E_BAD_DIGEST:
            return "refused: changed since it was signed";
        case HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND):
        case HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND):
            return "refused: its file is missing";
        default:
            return "refused";
    }
}

void PrintComponent(const Veyrak::ComponentDescription& component)
{
    Veyrak::VerifiedFiles files;
    const Veyrak::ComponentAssessment assessment = Veyrak::AssessComponent(*component.clsid, component.context, files);
    std::printf("%s %s: ", component.name, Narrow(Veyrak::GuidText(*component.clsid)).c_str());
    if (!assessment.file.empty())
        std::printf("%s, ", Narrow(assessment.file).c_str());
    const Veyrak::SignatureVerdict& signature = assessment.signature;
    if (signature.judged)
        std::printf("signature %s (0x%08lX)%s%s%s, ", SUCCEEDED(signature.trust) ? "trusted" : "not trusted",
                    static_cast<unsigned long>(signature.trust), signature.hasSigner ? ", signer \"" : "",
                    signature.hasSigner ? Narrow(signature.signerName).c_str() : "", signature.hasSigner ? "\"" : "");
    std::printf("%s (0x%08lX)\n", Reason(assessment.verdict), static_cast<unsigned long>(assessment.verdict));
}

} // namespace

void PrintComponents()
{
    for (const Veyrak::ComponentDescription& component : Veyrak::kComponents)
    {
        try
        {
            PrintComponent(component);
        }
        catch (const Veyrak::VRKException& failure)
        {
            std::printf("%s: its registration cannot be read: %s\n", component.name, failure.what());
        }
        if (Veyrak::HasPerUserRegistration(*component.clsid))
            std::printf(
                "warning: a per-user registration of the %s exists (HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\%s): "
                "Windows prefers it for unelevated clients; the server reads the machine's only and refuses "
                "what COM makes from it\n",
                component.name, Narrow(Veyrak::GuidText(*component.clsid)).c_str());
    }
}

} // namespace Vrkauth
