// COMErrorReport.cpp: how a COMError becomes the thread's COM error information. It lives with
// the reporting routines it calls, so that the toolbox below needs nothing from here.
#include "Common/Utility/COMError.h"

#include "Common/Utility/ComPtr.h"
#include "Common/Utility/TextConversion.h"
#include "Common/Utility/UniqueResource.h"
#include "Common/Utility/VRKAssertionFailedException.h"
#include "authenticator/ComErrorReporting.h"

#include <oleauto.h>

namespace Veyrak
{

namespace
{

constexpr char kModuleName[] = "COMError";

} // namespace

HRESULT COMError::Report(REFCLSID clsid, REFIID iid) const
{
    if (m_infoMode == kErrorInfoPassThrough)
        return GetHRESULT();

    if (m_infoMode == kErrorInfoDescribe)
        return SetComErrorInfo(clsid, WidenAnsi(what()).c_str(), m_nullGuid ? GUID_NULL : iid, GetHRESULT());

    // Re-describe: the pending information keeps its interface GUID, gets our text.
    ComPtr<IErrorInfo> pending;
    const bool hasPending = ::GetErrorInfo(0, pending.Put()) == S_OK && pending;
    if (!hasPending)
        VRK_ASSERT(kModuleName, FALSE);
    GUID pendingGuid = GUID_NULL;
    HRESULT guidResult = pending->GetGUID(&pendingGuid);
    if (FAILED(guidResult))
        return ReportHResult(clsid, guidResult);
    return SetComErrorInfo(clsid, WidenAnsi(what()).c_str(), pendingGuid, GetHRESULT());
}

HRESULT COMError::ReportHResult(REFCLSID clsid, HRESULT code)
{
    VRK_PRECONDITION(kModuleName, HRESULT_SEVERITY(code) == SEVERITY_ERROR);

    const UniqueBstr description = WidenAnsiToBstr(SystemErrorText(code).c_str());
    SetComErrorInfo(clsid, description.get(), GUID_NULL, code);
    return code;
}

} // namespace Veyrak
