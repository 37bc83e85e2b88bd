// COMError.h: the failure that becomes COM error information at an interface boundary.
#pragma once

#include "Common/Utility/VRKCOMException.h"

#include <windows.h>

namespace Veyrak
{

// How Report() builds the thread's error information.
enum : LONG
{
    kErrorInfoPassThrough = 0, // the HRESULT alone; error information untouched
    kErrorInfoRedescribe = 1,  // keep the pending information's GUID, replace its text (any value but 0 and 2)
    kErrorInfoDescribe = 2,    // new information from the message
};

class COMError : public VRKCOMException
{
public:
    COMError(HRESULT hr, const vrkstring& message, bool nullGuid, LONG infoMode)
        : VRKCOMException(hr, message), m_nullGuid(nullGuid), m_infoMode(infoMode)
    {
    }
    COMError(const COMError& other)
        : VRKCOMException(other.GetHRESULT(), other.what()), m_nullGuid(other.m_nullGuid), m_infoMode(other.m_infoMode)
    {
    }
    ~COMError() override = default;

    bool NullGuid() const { return m_nullGuid; }
    LONG InfoMode() const { return m_infoMode; }

    // Leaves error information on the calling thread as InfoMode() demands and returns
    // the HRESULT that the failed operation is to return. Re-describe mode with no
    // information pending raises VRKAssertionFailedException.
    HRESULT Report(REFCLSID clsid, REFIID iid) const;

    // Leaves the system's text for hr (GUID_NULL as interface) and returns hr.
    // hr must be a failure; otherwise raises VRKAssertionFailedException and sets nothing.
    static HRESULT ReportHResult(REFCLSID clsid, HRESULT hr);

private:
    bool m_nullGuid;
    LONG m_infoMode;
};

// Raises a COMError in describe mode with the interface's GUID. Never returns.
[[noreturn]] void ThrowCOMError(const HRESULT& hr, const vrkstring& message);

} // namespace Veyrak
