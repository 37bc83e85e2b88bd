// EngineCodes.h: the severities and engine error codes that a VRKLegacyException carries.
// The codes are plain numbers shared with the maker's other products; the log prints the
// names below. 14021 to 14024 are raised by the registry classes but were never named, so
// they are used by number and the log prints them as unknown.
#pragma once

#include <cstdint>

namespace Veyrak
{

// How grave a failure is. Stored as a 32-bit number; values outside the four named ones
// can reach the log and are printed as unknown there.
enum SeverityLevel : std::int32_t
{
    SEVERITY_LEVEL_FATAL = 0,
    SEVERITY_LEVEL_HIGH = 1,
    SEVERITY_LEVEL_MEDIUM = 2,
    SEVERITY_LEVEL_LOW = 3,
};

constexpr std::int32_t VRKENG_BSP = 8000;
constexpr std::int32_t VRKENG_BSP_DLLLDFAIL = 8001;
constexpr std::int32_t VRKENG_BSP_FNNOTFND = 8002;
constexpr std::int32_t VRKENG_BSP_BUIDINVALID = 8003;
constexpr std::int32_t VRKENG_BSP_HAAPIERROR = 8004;
constexpr std::int32_t VRKENG_BSP_MEMALLOCFAIL = 8005;
constexpr std::int32_t VRKENG_BSP_BADTHRESHOLD = 8006;
constexpr std::int32_t VRKENG_BSP_FATAL = 8009;
constexpr std::int32_t VRKENG_TOOLBOX = 14000;
constexpr std::int32_t VRKENG_MEMORYBUFFER_INVALIDTYPE = 14002;
constexpr std::int32_t VRKENG_MEMORYBUFFER_ILLEGALAPPEND = 14003;
constexpr std::int32_t VRKENG_MEMORYBUFFER_BADALLOCATION = 14004;
constexpr std::int32_t VRKENG_MEMORYBUFFER_COULDNOTSETBUFFER = 14005;
constexpr std::int32_t VRKENG_MEMORYBUFFER_BUFFERISEMPTY = 14006;
constexpr std::int32_t VRKENG_MEMORYBUFFER_BUFFERTOOSMALL = 14007;
constexpr std::int32_t VRKENG_MEMORYBUFFER_INVALIDMODE = 14009;
constexpr std::int32_t VRKENG_MEMORYBUFFER_INVALIDPARM = 14010;
constexpr std::int32_t VRKENG_VRKREGISTRY_COULDNOTCREATEKEY = 14011;
constexpr std::int32_t VRKENG_VRKREGISTRY_COULDNOTCLOSEKEY = 14012;
constexpr std::int32_t VRKENG_VRKREGISTRY_COULDNOTDELETEKEY = 14013;
constexpr std::int32_t VRKENG_VRKREGISTRY_INVALIDENTRYSTRING = 14014;
constexpr std::int32_t VRKENG_VRKREGISTRY_INVALIDREGISTRYHIVE = 14015;
constexpr std::int32_t VRKENG_VRKREGISTRY_NOINSTANCE = 14016;
constexpr std::int32_t VRKENG_VRKREGISTRY_COULDNOTGETVALUE = 14017;
constexpr std::int32_t VRKENG_VRKREGISTRY_COULDNOTSETVALUE = 14018;
constexpr std::int32_t VRKENG_VRKREGISTRY_COULDNOTCREATEBUFFER = 14019;
constexpr std::int32_t VRKENG_VRKREGISTRY_COULDDELETEVALUE = 14020;
constexpr std::int32_t VRKENG_TOOLBOX_FATAL = 14028;

// The registry classes' unnamed codes, by what they report.
constexpr std::int32_t kEngineCodeBadKeyPath = 14021;   // a key path without a separator
constexpr std::int32_t kEngineCodeInvalidKey = 14022;   // a key object without an open key
constexpr std::int32_t kEngineCodePlatformCall = 14023; // a platform registry call failed
constexpr std::int32_t kEngineCodeNoKeyObject = 14024;  // a value object cannot create its key object

} // namespace Veyrak
