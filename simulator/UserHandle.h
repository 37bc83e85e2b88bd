// UserHandle.h: the simulator's user handles. A handle is text that carries a domain and a
// user name, each preceded by its length, so that any character may appear in either:
//   VRKH1:<domain length>:<domain>:<user length>:<user>
// Lengths are decimal counts of UTF-16 code units without leading zeros; "VRKH1:4:CORP:4:anna".
// Anything else, trailing text included, is a malformed handle.
#pragma once

#include <windows.h>

#include <string>

namespace Veyrak::Simulator
{

// The result of AuthenticateUser for a malformed handle: severity error, FACILITY_ITF, code 0x301.
inline constexpr HRESULT VRKSIM_E_MALFORMEDHANDLE = static_cast<HRESULT>(0x80040301);

// The longest domain or user name that a handle carries.
inline constexpr size_t kMaxNameLength = 99999;

// Names longer than kMaxNameLength give a handle that does not decode; callers refuse them first.
std::wstring EncodeUserHandle(const std::wstring& domain, const std::wstring& user);

// True, with both names, for a well-formed handle; false otherwise (the names are then unspecified).
bool DecodeUserHandle(const std::wstring& handle, std::wstring& domain, std::wstring& user);

} // namespace Veyrak::Simulator
