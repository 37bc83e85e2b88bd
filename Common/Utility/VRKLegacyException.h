// VRKLegacyException.h: the toolbox's own failure, with a throw-site tag, a severity and an
// engine code, that records itself in the exception log when it is raised.
#pragma once

#include "Common/Utility/EngineCodes.h"
#include "Common/Utility/VRKException.h"

#include <cstdint>

namespace Veyrak
{

// Contract: fields are fixed at construction. Log() is called once by the raising site,
// before the throw; constructing, copying, catching and destroying write nothing, so an
// exception copied on its way to the catcher still leaves exactly one record.
class VRKLegacyException : public VRKException
{
public:
    VRKLegacyException(const vrkstring& message, const vrkstring& throwSite, SeverityLevel severity, std::int32_t code)
        : VRKException(message), m_throwSite(throwSite), m_severity(severity), m_code(code)
    {
    }
    VRKLegacyException(const VRKLegacyException& other)
        : VRKException(other), m_throwSite(other.m_throwSite), m_severity(other.m_severity), m_code(other.m_code)
    {
    }
    VRKLegacyException& operator=(const VRKLegacyException&) = delete;
    ~VRKLegacyException() override = default;

    virtual const char* GetThrowSite() const { return m_throwSite.c_str(); }
    virtual SeverityLevel GetSeverity() const { return m_severity; }
    virtual std::int32_t GetCode() const { return m_code; }

    // Writes this exception's six-line record to ToolboxLog; silent while the log is off.
    virtual void Log() const;

private:
    vrkstring m_throwSite;
    SeverityLevel m_severity;
    std::int32_t m_code;
};

// The raising sequence every toolbox site follows: build, log once, throw.
[[noreturn]] void ThrowLegacyException(const vrkstring& message, const vrkstring& throwSite, SeverityLevel severity,
                                       std::int32_t code);

} // namespace Veyrak
