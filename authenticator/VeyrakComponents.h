// VeyrakComponents.h: the maker's outside components as the authenticator calls them.
// Only the identifiers, the slot positions, the arguments and the results are fixed;
// the substitute components implement exactly this declaration.
//
//   ISingleSignOn     slot 3  GetPrimaryUserApplication(out IUnknown*)
//   IPrimaryUserApp3  slots 3-6 IDispatch, slot 7 GetApplicationName, slot 8 AuthenticateUser
//   IHandleManager    slot 3  CreateUserHandle(domain, user, 0, out handle)
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace Veyrak
{

inline constexpr CLSID CLSID_VeyrakSingleSignOn = {
    0x2D070527, 0x5F3F, 0x4A0C, {0xB4, 0x26, 0x2E, 0x59, 0x8F, 0x6D, 0x47, 0x0D}};
inline constexpr IID IID_ISingleSignOn = {0xE15DD35F, 0x55DC, 0x4EF1, {0xA4, 0x84, 0xF1, 0x74, 0x8D, 0x2A, 0xB5, 0x40}};
inline constexpr IID IID_IPrimaryUserApp3 = {
    0x1376FC15, 0xA0AA, 0x4120, {0x9F, 0x27, 0x11, 0x2A, 0x05, 0x63, 0xB4, 0x6B}};
inline constexpr CLSID CLSID_VeyrakHandleManager = {
    0x5F3D5012, 0xF8A8, 0x402F, {0x97, 0xCF, 0x92, 0x7F, 0xE4, 0x9B, 0xA9, 0xED}};
inline constexpr IID IID_IHandleManager = {
    0xF02891C9, 0xB0EC, 0x431F, {0xA4, 0xFF, 0x5C, 0xD5, 0x2E, 0x60, 0x64, 0x42}};

// The SSO component's entry to the primary user application.
struct ISingleSignOn : public IUnknown
{
    // Success hands out an owned reference that answers QueryInterface for IPrimaryUserApp3.
    virtual HRESULT STDMETHODCALLTYPE GetPrimaryUserApplication(IUnknown** application) = 0;
};

// The primary user application: decides whether a user handle authenticates.
struct IPrimaryUserApp3 : public IDispatch
{
    // The application's display name; the caller frees it.
    virtual HRESULT STDMETHODCALLTYPE GetApplicationName(BSTR* name) = 0;
    // Writes the verdict through the pointer on success.
    virtual HRESULT STDMETHODCALLTYPE AuthenticateUser(BSTR handle, VARIANT_BOOL* verdict) = 0;
};

// Turns a domain and user name into an opaque user handle.
struct IHandleManager : public IUnknown
{
    // reserved is always 0. Success hands out a new BSTR that the caller frees.
    virtual HRESULT STDMETHODCALLTYPE CreateUserHandle(BSTR domain, BSTR user, LONG reserved, BSTR* handle) = 0;
};

} // namespace Veyrak
