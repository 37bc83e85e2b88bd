// Signature.h: the platform's judgement of a file's Authenticode signature, and whether its signer
// is one of the maker's publishers that this build names.
#pragma once

#include "integrity/HeldFile.h"
#include "integrity/Thumbprint.h"

#include <windows.h>

#include <string>

namespace Veyrak
{

struct SignatureVerdict
{
    // Whether the platform judged the file at all (it was opened).
    bool judged = false;
    // WinVerifyTrust's answer: S_OK, or TRUST_E_NOSIGNATURE, TRUST_E_BAD_DIGEST, CERT_E_...
    HRESULT trust = E_FAIL;
    // The signer's certificate, where the file carries one (also when the platform distrusts it).
    bool hasSigner = false;
    Thumbprint signer = {};
    std::wstring signerName;

    // S_OK when the platform trusts the signature and its signer is one of the maker's
    // publishers; the trust result when it does not; VRK_E_COMPONENT_NOT_MAKERS for a trusted
    // signature of anyone else.
    HRESULT PublisherResult() const;
};

// Verifies the signature of the file through the held handle, so that the bytes judged are the
// bytes held. Generic verification action, no user interface, no revocation check and no
// retrieval over the network: the verdict depends on the file and the machine's certificate
// stores only, and a request never waits for a server.
SignatureVerdict VerifySignature(const HeldFile& file);

// Whether thumbprint names one of the publishers compiled into this build.
bool IsMakersPublisher(const Thumbprint& thumbprint);

} // namespace Veyrak
