// UserDirectory.h: the simulator's directory of users, kept in the registry as
//   <settings>\Users\<DOMAIN>\<user>   with a REG_DWORD "Enabled"
// Key names do the matching, so domain and user names match case-insensitively; a user
// is enabled when "Enabled" is a REG_DWORD other than 0 (missing or of another type:
// disabled). Shared by the handle components and the administration command.
//
// Thread rules: holds no state besides the location; every call reads the registry anew.
#pragma once

#include "simulator/SettingsLocation.h"

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace Veyrak::Simulator
{

enum class UserState
{
    Missing,
    Disabled,
    Enabled,
};

struct DirectoryEntry
{
    std::wstring domain; // as stored, in the case it was first added with
    std::wstring user;
    bool enabled;
};

class UserDirectory
{
public:
    explicit UserDirectory(SettingsLocation location = SettingsLocation::Machine()) : m_location(std::move(location)) {}

    // Adds the user, or sets the state of a user already there (whose stored case stays).
    // E_INVALIDARG when a name is empty, longer than 255 characters or holds a backslash.
    HRESULT AddUser(const std::wstring& domain, const std::wstring& user, bool enabled) const;
    // Removes the user, and its domain once no user is left in it. kNotFound when absent.
    HRESULT RemoveUser(const std::wstring& domain, const std::wstring& user) const;
    // kNotFound when the user is absent.
    HRESULT SetEnabled(const std::wstring& domain, const std::wstring& user, bool enabled) const;

    // Missing also for names that cannot be in the directory and for an unreadable registry.
    UserState Lookup(const std::wstring& domain, const std::wstring& user) const;

    // Every user, or those of one domain, ordered case-insensitively by domain, then user.
    // kNotFound when a domain is asked for that the directory does not hold.
    HRESULT List(const std::wstring* domain, std::vector<DirectoryEntry>& entries) const;

private:
    std::wstring UsersPath() const { return m_location.Child(kUsersKeyName); }
    std::wstring UserPath(const std::wstring& domain, const std::wstring& user) const;
    void ListDomain(HKEY usersKey, const std::wstring& domain, std::vector<DirectoryEntry>& entries) const;

    SettingsLocation m_location;
};

} // namespace Veyrak::Simulator
