// VRKCOMException.h: a toolbox failure that carries an HRESULT.
#pragma once

#include "Common/Utility/VRKException.h"

#include <windows.h>

namespace Veyrak
{

class VRKCOMException : public VRKException
{
public:
    VRKCOMException(HRESULT hr, const vrkstring& message) : VRKException(message), m_hr(hr) {}
    VRKCOMException(const VRKCOMException& other) : VRKException(other), m_hr(other.GetHRESULT()) {}
    ~VRKCOMException() override = default;

    virtual HRESULT GetHRESULT() const { return m_hr; }

private:
    HRESULT m_hr;
};

} // namespace Veyrak
