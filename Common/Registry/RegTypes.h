// RegTypes.h: the hive and access-mask types with which the registry classes name a key.
#pragma once

#include <windows.h>

#include <cstdint>

namespace Veyrak
{

// One of the platform's predefined root keys, holding the predefined handle's value
// itself so that it can be handed to the platform as a parent key.
enum class RegHive : std::uint32_t
{
    ClassesRoot = 0x80000000u,
    CurrentUser = 0x80000001u,
    LocalMachine = 0x80000002u,
    Users = 0x80000003u,
    PerformanceData = 0x80000004u,
    CurrentConfig = 0x80000005u,
    DynData = 0x80000006u,
};

// The predefined handle for a hive. The handles are sign-extended 32-bit values.
inline HKEY HiveHandle(RegHive hive)
{
    return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(static_cast<std::uint32_t>(hive))));
}

// The access mask with which a key is opened, passed to the platform unchanged.
// Combine the named rights with |: RegSam sam = RegSam::KeyQueryValue | RegSam::KeySetValue;
struct RegSam
{
    static constexpr REGSAM KeyAllAccess = 0xF003F;
    static constexpr REGSAM KeyCreateLink = 0x20;
    static constexpr REGSAM KeyCreateSubKey = 0x4;
    static constexpr REGSAM KeyEnumerateSubKeys = 0x8;
    static constexpr REGSAM KeyExecute = 0x20019;
    static constexpr REGSAM KeyNotify = 0x10;
    static constexpr REGSAM KeyQueryValue = 0x1;
    static constexpr REGSAM KeyRead = 0x20019;
    static constexpr REGSAM KeySetValue = 0x2;
    static constexpr REGSAM KeyWrite = 0x20006;

    constexpr RegSam(REGSAM value = 0) : mask(value) {}
    constexpr operator REGSAM() const { return mask; }

    REGSAM mask;
};

} // namespace Veyrak
