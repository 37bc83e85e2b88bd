// Signature.cpp: WinVerifyTrust, the signer it found, and the publishers this build accepts.
#include "integrity/Signature.h"

#include "integrity/TrustFunctions.h"

#include "PublisherCertificates.h"
#include "vrksolauth.h"

#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

namespace Veyrak
{

namespace
{

// Closes the verification's state on every way out.
class TrustState
{
public:
    TrustState(const TrustFunctions& trust, WINTRUST_DATA& data, GUID& action)
        : m_trust(trust), m_data(data), m_action(action)
    {
    }
    TrustState(const TrustState&) = delete;
    TrustState& operator=(const TrustState&) = delete;
    ~TrustState()
    {
        m_data.dwStateAction = WTD_STATEACTION_CLOSE;
        m_trust.winVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &m_action, &m_data);
    }

private:
    const TrustFunctions& m_trust;
    WINTRUST_DATA& m_data;
    GUID& m_action;
};

void ReadSigner(const TrustFunctions& trust, HANDLE state, SignatureVerdict& verdict)
{
    CRYPT_PROVIDER_DATA* provider = trust.providerData(state);
    CRYPT_PROVIDER_SGNR* signer = provider ? trust.signerFromChain(provider, 0, FALSE, 0) : nullptr;
    if (!signer || signer->csCertChain == 0 || !signer->pasCertChain || !signer->pasCertChain[0].pCert)
        return;
    PCCERT_CONTEXT certificate = signer->pasCertChain[0].pCert;
    DWORD size = sizeof verdict.signer.bytes;
    if (!trust.hashCertificate(BCRYPT_SHA256_ALGORITHM, 0, nullptr, certificate->pbCertEncoded,
                               certificate->cbCertEncoded, verdict.signer.bytes, &size) ||
        size != sizeof verdict.signer.bytes)
        return;
    verdict.hasSigner = true;
    wchar_t name[256] = {};
    trust.nameString(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, sizeof name / sizeof name[0]);
    verdict.signerName = name;
}

} // namespace

HRESULT SignatureVerdict::PublisherResult() const
{
    if (FAILED(trust))
        return trust;
    return hasSigner && IsMakersPublisher(signer) ? S_OK : VRK_E_COMPONENT_NOT_MAKERS;
}

bool IsMakersPublisher(const Thumbprint& thumbprint)
{
    for (const Thumbprint& publisher : kPublisherThumbprints)
        if (publisher == thumbprint)
            return true;
    return false;
}

SignatureVerdict VerifySignature(const HeldFile& file)
{
    WINTRUST_FILE_INFO fileInfo = {};
    fileInfo.cbStruct = sizeof fileInfo;
    fileInfo.pcwszFilePath = file.Path().c_str();
    fileInfo.hFile = file.Handle();
    WINTRUST_DATA data = {};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &fileInfo;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    data.dwProvFlags = WTD_REVOCATION_CHECK_NONE | WTD_CACHE_ONLY_URL_RETRIEVAL;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;

    SignatureVerdict verdict;
    const TrustFunctions* trust = LoadTrustFunctions();
    if (!trust)
    {
        verdict.trust = HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
        return verdict;
    }
    verdict.judged = true;
    verdict.trust =
        static_cast<HRESULT>(trust->winVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data));
    TrustState state(*trust, data, action);
    ReadSigner(*trust, data.hWVTStateData, verdict);
    return verdict;
}

} // namespace Veyrak
