// RegKey.cpp: parsing a key's full path, opening, copying, enumerating and deleting keys.
#include "Common/Registry/RegKey.h"

#include "Common/Registry/RegEntry.h"
#include "Common/Registry/VrkRegistry.h"
#include "Common/Utility/VRKLegacyException.h"

#include <string>
#include <utility>

namespace Veyrak
{
namespace
{
const char kInvalidKeyMessage[] = "This RegKey object is invalid.";
const char kBadKeyPathMessage[] = "Invalid registry keyPath string";

struct HiveName
{
    const char* name;
    RegHive hive;
};

// Only the full names, with exact case, name a hive.
const HiveName kHiveNames[] = {
    {"HKEY_CLASSES_ROOT", RegHive::ClassesRoot},
    {"HKEY_CURRENT_USER", RegHive::CurrentUser},
    {"HKEY_LOCAL_MACHINE", RegHive::LocalMachine},
    {"HKEY_USERS", RegHive::Users},
    {"HKEY_PERFORMANCE_DATA", RegHive::PerformanceData},
    {"HKEY_CURRENT_CONFIG", RegHive::CurrentConfig},
    {"HKEY_DYN_DATA", RegHive::DynData},
};

vrkstring AfterLastBackslash(const vrkstring& path)
{
    const size_t separator = path.rfind('\\');
    return separator == vrkstring::npos ? vrkstring() : path.substr(separator + 1);
}

[[noreturn]] void ThrowPlatformFailure(const char* call, LONG status, const char* site)
{
    ThrowLegacyException(vrkstring("Error in Win32 API call ") + call +
                             ". Windows returned error code: " + std::to_string(status),
                         site, SEVERITY_LEVEL_HIGH, kEngineCodePlatformCall);
}
} // namespace

RegKey::RegKey(const vrkstring& fullPath, RegSam sam) : m_sam(sam)
{
    const size_t separator = fullPath.find('\\');
    if (separator == vrkstring::npos)
        ThrowLegacyException(kBadKeyPathMessage, "RegKey::RegKey(), throw #1", SEVERITY_LEVEL_HIGH,
                             kEngineCodeBadKeyPath);
    const vrkstring hiveName = fullPath.substr(0, separator);
    m_keyPath = fullPath.substr(separator + 1);
    m_name = AfterLastBackslash(fullPath);

    const HiveName* match = nullptr;
    for (const HiveName& entry : kHiveNames)
    {
        if (hiveName == entry.name)
        {
            match = &entry;
            break;
        }
    }
    // The tag names RegEntry: it predates this class and log readers search for it.
    if (!match)
        ThrowLegacyException("Invalid registry hive value", "RegEntry::RegEntry(), throw #3", SEVERITY_LEVEL_HIGH,
                             VRKENG_VRKREGISTRY_INVALIDREGISTRYHIVE);
    m_hive = match->hive;
    // A failed open leaves no handle, and a throwing constructor leaves no object.
    VrkRegistry::Instance()->CreateKey(*this);
}

RegKey::RegKey(RegHive hive, const vrkstring& keyPath, RegSam sam)
    : m_hive(hive), m_keyPath(keyPath), m_name(AfterLastBackslash(keyPath)), m_sam(sam)
{
    VrkRegistry::Instance()->CreateKey(*this);
}

RegKey::RegKey(RegHive hive, const vrkstring& keyPath, const vrkstring& name, RegSam sam)
    : m_hive(hive), m_keyPath(keyPath), m_name(name), m_sam(sam)
{
    VrkRegistry::Instance()->CreateKey(*this);
}

RegKey::RegKey(const RegKey& other) : m_sam(other.m_sam)
{
    RegKey::operator=(other);
}

RegKey::RegKey(RegKey&& other) noexcept
    : m_handle(std::exchange(other.m_handle, nullptr)), m_hive(other.m_hive), m_keyPath(std::move(other.m_keyPath)),
      m_name(std::move(other.m_name)), m_sam(other.m_sam)
{
}

RegKey& RegKey::operator=(const RegKey& other)
{
    m_hive = other.m_hive;
    m_keyPath = other.m_keyPath;
    m_name = other.m_name;
    m_sam = other.m_sam;
    // Closed apart from the open, so that a close failure reaches the caller as such.
    VrkRegistry* registry = VrkRegistry::Instance();
    registry->CloseKey(*this);
    registry->CreateKey(*this);
    return *this;
}

RegKey::~RegKey()
{
    if (!m_handle)
        return;
    try
    {
        VrkRegistry::Instance()->CloseKey(*this);
    }
    catch (...)
    {
        // Already logged; a destructor that threw would end the process.
    }
}

void RegKey::EnumerateKeys(std::vector<RegKey>& out) const
{
    if (!m_handle)
        ThrowLegacyException(kInvalidKeyMessage, "RegKey::EnumerateKeys, throw #1", SEVERITY_LEVEL_MEDIUM,
                             kEngineCodeInvalidKey);
    DWORD subkeyCount = 0;
    DWORD longestName = 0;
    LONG status = ::RegQueryInfoKeyA(m_handle, nullptr, nullptr, nullptr, &subkeyCount, &longestName, nullptr, nullptr,
                                     nullptr, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS)
        ThrowPlatformFailure("RegQueryInfoKey", status, "RegKey::EnumerateKeys(), throw #3");

    // One buffer, sized once, serves every index.
    std::vector<char> name(static_cast<size_t>(longestName) + 1);
    for (DWORD index = 0; index < subkeyCount; ++index)
    {
        status = ::RegEnumKeyA(m_handle, index, name.data(), longestName + 1);
        if (status != ERROR_SUCCESS)
            ThrowPlatformFailure("RegEnumKey", status, "RegKey::EnumerateKeys(), throw #4");
        const vrkstring subkeyName(name.data());
        // A key that names the hive itself has subkeys whose paths are just their names.
        const vrkstring subkeyPath = m_keyPath.empty() ? subkeyName : m_keyPath + "\\" + subkeyName;
        out.push_back(RegKey(m_hive, subkeyPath, subkeyName, m_sam));
    }
}

void RegKey::EnumerateEntries(std::vector<RegEntry>& out) const
{
    if (!m_handle)
        ThrowLegacyException(kInvalidKeyMessage, "RegKey::EnumerateEntries, throw #1", SEVERITY_LEVEL_MEDIUM,
                             kEngineCodeInvalidKey);
    DWORD valueCount = 0;
    DWORD longestName = 0;
    LONG status = ::RegQueryInfoKeyA(m_handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &valueCount,
                                     &longestName, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS)
        ThrowPlatformFailure("RegQueryInfoKey", status, "RegKey::EnumerateEntries(), throw #2");

    std::vector<char> name(static_cast<size_t>(longestName) + 1);
    for (DWORD index = 0; index < valueCount; ++index)
    {
        DWORD capacity = longestName + 1;
        status = ::RegEnumValueA(m_handle, index, name.data(), &capacity, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS)
            ThrowPlatformFailure("RegEnumValue", status, "RegKey::EnumerateEntries(), throw #3");
        out.emplace_back(*this, vrkstring(name.data(), capacity));
    }
}

bool RegKey::IsValid() const
{
    return m_handle != nullptr;
}

void RegKey::DeleteKey()
{
    if (!m_handle)
        ThrowLegacyException(kInvalidKeyMessage, "RegKey::DeleteKey(), throw #1", SEVERITY_LEVEL_MEDIUM,
                             kEngineCodeInvalidKey);
    // The tag names RegEntry, as it always has; log readers search for it.
    static const char kTopLevelSite[] = "RegEntry::DeleteKey(), throw #2";
    // A key that names the hive itself can never be deleted, so refuse before emptying
    // the whole hive.
    if (m_keyPath.empty())
        ThrowLegacyException(kBadKeyPathMessage, kTopLevelSite, SEVERITY_LEVEL_HIGH, kEngineCodeBadKeyPath);

    // Depth first: the platform deletes only empty keys.
    std::vector<RegKey> subkeys;
    EnumerateKeys(subkeys);
    for (RegKey& subkey : subkeys)
        subkey.DeleteKey();

    std::vector<RegEntry> entries;
    EnumerateEntries(entries);
    for (RegEntry& entry : entries)
        entry.Delete();

    const size_t separator = m_keyPath.rfind('\\');
    if (separator == vrkstring::npos)
        ThrowLegacyException(kBadKeyPathMessage, kTopLevelSite, SEVERITY_LEVEL_HIGH, kEngineCodeBadKeyPath);
    const RegKey parent(m_hive, m_keyPath.substr(0, separator), RegSam::KeyAllAccess);
    VrkRegistry::Instance()->DeleteKey(parent, m_name);
}

const vrkstring& RegKey::GetName() const
{
    return m_name;
}

const vrkstring& RegKey::GetKeyPath() const
{
    return m_keyPath;
}

const RegHive& RegKey::GetHive() const
{
    return m_hive;
}

RegSam RegKey::GetSam() const
{
    return m_sam;
}

} // namespace Veyrak
