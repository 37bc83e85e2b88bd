// VRKLegacyException.cpp: the exception record that a legacy exception writes to the log.
#include "Common/Utility/VRKLegacyException.h"

#include "Common/Utility/ToolboxLog.h"

#include <ctime>

namespace Veyrak
{
namespace
{
struct SeverityEntry
{
    const char* text;
    std::int32_t level;
};

// Graver failures are written at lower levels, so a lower threshold keeps them.
SeverityEntry SeverityEntryOf(std::int32_t severity)
{
    switch (severity)
    {
        case SEVERITY_LEVEL_FATAL:
            return {" (SEVERITY_LEVEL_FATAL) ", 1};
        case SEVERITY_LEVEL_HIGH:
            return {" (SEVERITY_LEVEL_HIGH) ", 2};
        case SEVERITY_LEVEL_MEDIUM:
            return {" (SEVERITY_LEVEL_MEDIUM) ", 3};
        case SEVERITY_LEVEL_LOW:
            return {" (SEVERITY_LEVEL_LOW) ", 3};
        default:
            return {" (Unknown) ", 3};
    }
}

struct CodeName
{
    std::int32_t code;
    const char* text;
};

const CodeName kCodeNames[] = {
    {VRKENG_BSP, " (VRKENG_BSP)"},
    {VRKENG_BSP_DLLLDFAIL, " (VRKENG_BSP_DLLLDFAIL)"},
    {VRKENG_BSP_FNNOTFND, " (VRKENG_BSP_FNNOTFND)"},
    {VRKENG_BSP_BUIDINVALID, " (VRKENG_BSP_BUIDINVALID)"},
    {VRKENG_BSP_HAAPIERROR, " (VRKENG_BSP_HAAPIERROR)"},
    {VRKENG_BSP_MEMALLOCFAIL, " (VRKENG_BSP_MEMALLOCFAIL)"},
    {VRKENG_BSP_BADTHRESHOLD, " (VRKENG_BSP_BADTHRESHOLD)"},
    {VRKENG_BSP_FATAL, " (VRKENG_BSP_FATAL)"},
    {VRKENG_TOOLBOX, " (VRKENG_TOOLBOX)"},
    {VRKENG_MEMORYBUFFER_INVALIDTYPE, " (VRKENG_MEMORYBUFFER_INVALIDTYPE)"},
    {VRKENG_MEMORYBUFFER_ILLEGALAPPEND, " (VRKENG_MEMORYBUFFER_ILLEGALAPPEND)"},
    {VRKENG_MEMORYBUFFER_BADALLOCATION, " (VRKENG_MEMORYBUFFER_BADALLOCATION)"},
    {VRKENG_MEMORYBUFFER_COULDNOTSETBUFFER, " (VRKENG_MEMORYBUFFER_COULDNOTSETBUFFER)"},
    {VRKENG_MEMORYBUFFER_BUFFERISEMPTY, " (VRKENG_MEMORYBUFFER_BUFFERISEMPTY)"},
    {VRKENG_MEMORYBUFFER_BUFFERTOOSMALL, " (VRKENG_MEMORYBUFFER_BUFFERTOOSMALL)"},
    {VRKENG_MEMORYBUFFER_INVALIDMODE, " (VRKENG_MEMORYBUFFER_INVALIDMODE)"},
    {VRKENG_MEMORYBUFFER_INVALIDPARM, " (VRKENG_MEMORYBUFFER_INVALIDPARM)"},
    {VRKENG_VRKREGISTRY_COULDNOTCREATEKEY, " (VRKENG_VRKREGISTRY_COULDNOTCREATEKEY)"},
    {VRKENG_VRKREGISTRY_COULDNOTCLOSEKEY, " (VRKENG_VRKREGISTRY_COULDNOTCLOSEKEY)"},
    {VRKENG_VRKREGISTRY_COULDNOTDELETEKEY, " (VRKENG_VRKREGISTRY_COULDNOTDELETEKEY)"},
    {VRKENG_VRKREGISTRY_INVALIDENTRYSTRING, " (VRKENG_VRKREGISTRY_INVALIDENTRYSTRING)"},
    {VRKENG_VRKREGISTRY_INVALIDREGISTRYHIVE, " (VRKENG_VRKREGISTRY_INVALIDREGISTRYHIVE)"},
    {VRKENG_VRKREGISTRY_NOINSTANCE, " (VRKENG_VRKREGISTRY_NOINSTANCE)"},
    {VRKENG_VRKREGISTRY_COULDNOTGETVALUE, " (VRKENG_VRKREGISTRY_COULDNOTGETVALUE)"},
    {VRKENG_VRKREGISTRY_COULDNOTSETVALUE, " (VRKENG_VRKREGISTRY_COULDNOTSETVALUE)"},
    {VRKENG_VRKREGISTRY_COULDNOTCREATEBUFFER, " (VRKENG_VRKREGISTRY_COULDNOTCREATEBUFFER)"},
    {VRKENG_VRKREGISTRY_COULDDELETEVALUE, " (VRKENG_VRKREGISTRY_COULDDELETEVALUE)"},
    {VRKENG_TOOLBOX_FATAL, " (VRKENG_TOOLBOX_FATAL)"},
};

const char* CodeTextOf(std::int32_t code)
{
    for (const CodeName& entry : kCodeNames)
    {
        if (entry.code == code)
            return entry.text;
    }
    return " (Unknown)";
}
} // namespace

void VRKLegacyException::Log() const
{
    // One record at a time, so that two threads' records stay whole.
    const auto hold = ToolboxLog::HoldForRecord();

    char when[64] = "";
    const std::time_t now = std::time(nullptr);
    // The C runtime keeps localtime's result per thread.
    if (const std::tm* local = std::localtime(&now))
        std::strftime(when, sizeof when, "%A %B %d, %Y; %H:%M:%S", local);

    const SeverityEntry severity = SeverityEntryOf(GetSeverity());
    ToolboxLog::Write(2, "*** VrkException thrown *** ");
    ToolboxLog::WriteLine(2, when);
    ToolboxLog::WriteLine(2, what());
    ToolboxLog::WriteLine(2, GetThrowSite());
    ToolboxLog::WriteLine(2, static_cast<std::int32_t>(GetSeverity()));
    ToolboxLog::Write(severity.level, severity.text);
    ToolboxLog::WriteLine(3, GetCode());
    ToolboxLog::WriteLine(3, CodeTextOf(GetCode()));
}

void ThrowLegacyException(const vrkstring& message, const vrkstring& throwSite, SeverityLevel severity,
                          std::int32_t code)
{
    const VRKLegacyException error(message, throwSite, severity, code);
    error.Log();
    throw error;
}

} // namespace Veyrak
