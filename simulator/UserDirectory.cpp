// UserDirectory.cpp: the user directory over the registry.
#include "simulator/UserDirectory.h"

#include "simulator/SimulatorRegistry.h"

#include <algorithm>

namespace Veyrak::Simulator
{

std::wstring UserDirectory::UserPath(const std::wstring& domain, const std::wstring& user) const
{
    return UsersPath() + L"\\" + domain + L"\\" + user;
}

HRESULT UserDirectory::AddUser(const std::wstring& domain, const std::wstring& user, bool enabled) const
{
    if (!IsValidKeyName(domain) || !IsValidKeyName(user))
        return E_INVALIDARG;
    UniqueHkey key;
    LONG status = CreateKey(m_location.root, UserPath(domain, user), key);
    if (status == ERROR_SUCCESS)
        status = WriteDword(key.get(), kEnabledValueName, enabled ? 1 : 0);
    return HRESULT_FROM_WIN32(status);
}

HRESULT UserDirectory::RemoveUser(const std::wstring& domain, const std::wstring& user) const
{
    if (!IsValidKeyName(domain) || !IsValidKeyName(user))
        return kNotFound;
    UniqueHkey domainKey;
    LONG status = OpenKey(m_location.root, UsersPath() + L"\\" + domain, KEY_ALL_ACCESS, domainKey);
    if (status != ERROR_SUCCESS)
        return status == ERROR_FILE_NOT_FOUND ? kNotFound : HRESULT_FROM_WIN32(status);
    status = ::RegDeleteTreeW(domainKey.get(), user.c_str());
    if (status != ERROR_SUCCESS)
        return status == ERROR_FILE_NOT_FOUND ? kNotFound : HRESULT_FROM_WIN32(status);

    // An empty domain is no longer part of the directory.
    if (!HasSubkeys(domainKey.get()))
    {
        domainKey.reset();
        UniqueHkey usersKey;
        if (OpenKey(m_location.root, UsersPath(), KEY_ALL_ACCESS, usersKey) == ERROR_SUCCESS)
            ::RegDeleteKeyW(usersKey.get(), domain.c_str());
    }
    return S_OK;
}

HRESULT UserDirectory::SetEnabled(const std::wstring& domain, const std::wstring& user, bool enabled) const
{
    if (!IsValidKeyName(domain) || !IsValidKeyName(user))
        return kNotFound;
    UniqueHkey key;
    LONG status = OpenKey(m_location.root, UserPath(domain, user), KEY_SET_VALUE, key);
    if (status != ERROR_SUCCESS)
        return status == ERROR_FILE_NOT_FOUND ? kNotFound : HRESULT_FROM_WIN32(status);
    return HRESULT_FROM_WIN32(WriteDword(key.get(), kEnabledValueName, enabled ? 1 : 0));
}

UserState UserDirectory::Lookup(const std::wstring& domain, const std::wstring& user) const
{
    if (!IsValidKeyName(domain) || !IsValidKeyName(user))
        return UserState::Missing;
    UniqueHkey key;
    if (OpenKey(m_location.root, UserPath(domain, user), KEY_QUERY_VALUE, key) != ERROR_SUCCESS)
        return UserState::Missing;
    DWORD enabled = 0;
    return ReadDword(key.get(), kEnabledValueName, enabled) && enabled != 0 ? UserState::Enabled : UserState::Disabled;
}

void UserDirectory::ListDomain(HKEY usersKey, const std::wstring& domain, std::vector<DirectoryEntry>& entries) const
{
    UniqueHkey domainKey;
    if (OpenKey(usersKey, domain, KEY_READ, domainKey) != ERROR_SUCCESS)
        return;
    std::vector<std::wstring> users = SubkeyNames(domainKey.get());
    std::sort(users.begin(), users.end(), LessNoCase);
    for (const std::wstring& user : users)
    {
        UniqueHkey userKey;
        DWORD enabled = 0;
        bool isEnabled = OpenKey(domainKey.get(), user, KEY_QUERY_VALUE, userKey) == ERROR_SUCCESS &&
                         ReadDword(userKey.get(), kEnabledValueName, enabled) && enabled != 0;
        entries.push_back({domain, user, isEnabled});
    }
}

HRESULT UserDirectory::List(const std::wstring* domain, std::vector<DirectoryEntry>& entries) const
{
    entries.clear();
    UniqueHkey usersKey;
    LONG status = OpenKey(m_location.root, UsersPath(), KEY_READ, usersKey);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        return HRESULT_FROM_WIN32(status);

    std::vector<std::wstring> domains;
    if (usersKey)
        domains = SubkeyNames(usersKey.get());
    if (domain)
    {
        // The stored spelling of the domain, found case-insensitively.
        auto match = std::find_if(domains.begin(), domains.end(),
                                  [&](const std::wstring& name) { return EqualNoCase(name, *domain); });
        if (match == domains.end())
            return kNotFound;
        domains = {*match};
    }
    std::sort(domains.begin(), domains.end(), LessNoCase);
    for (const std::wstring& name : domains)
        ListDomain(usersKey.get(), name, entries);
    return S_OK;
}

} // namespace Veyrak::Simulator
