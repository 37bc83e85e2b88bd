// InterfaceTable.h: the table that answers QueryInterface for an object: each row an
// interface id and that interface's entry point, as its distance from the object's start.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <cstddef>
#include <cstdint>

namespace Veyrak
{

struct InterfaceMapEntry
{
    const IID* iid; // null ends the table
    std::ptrdiff_t offset;
};

// Distance of the Base subobject from the start of a Derived object.
template <typename Base, typename Derived> std::ptrdiff_t EntryPointOffset()
{
    // Any non-null address serves: only the difference of the two pointers counts.
    constexpr std::uintptr_t kProbe = 0x1000;
    Derived* object = reinterpret_cast<Derived*>(kProbe);
    return reinterpret_cast<std::uintptr_t>(static_cast<Base*>(object)) - kProbe;
}

inline IUnknown* EntryPoint(void* object, const InterfaceMapEntry& row)
{
    return reinterpret_cast<IUnknown*>(static_cast<char*>(object) + row.offset);
}

// QueryInterface over a table: IUnknown answers with the first row's entry point.
// Sets *out to null first; E_POINTER for a null out, E_NOINTERFACE when no row matches.
HRESULT InterfaceTableLookup(void* object, const InterfaceMapEntry* table, REFIID iid, void** out);

} // namespace Veyrak
