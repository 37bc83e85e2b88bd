// RegEntry.cpp: a registry value under a key of its own; value access goes to VrkRegistry.
#include "Common/Registry/RegEntry.h"

#include "Common/Registry/VrkRegistry.h"
#include "Common/Utility/VRKLegacyException.h"

#include <new>

namespace Veyrak
{
namespace
{
const char kCopySite[] = "RegEntry::RegEntry(const RegKey&,const vrkstring&)";
}

std::unique_ptr<RegKey> RegEntry::CopyKey(const RegKey& key)
{
    std::unique_ptr<RegKey> copy(new (std::nothrow) RegKey(key));
    if (!copy)
        ThrowLegacyException("Could not create RegKey object.", kCopySite, SEVERITY_LEVEL_HIGH, kEngineCodeNoKeyObject);
    return copy;
}

RegEntry::RegEntry(const RegKey& key, const vrkstring& name) : m_name(name)
{
    m_key = CopyKey(key);
}

RegEntry::RegEntry(RegHive hive, const vrkstring& keyPath, const vrkstring& name, RegSam sam) : m_name(name)
{
    m_key.reset(new (std::nothrow) RegKey(hive, keyPath, sam));
    if (!m_key)
        ThrowLegacyException("Unable to Create RegKey",
                             "RegEntry::RegEntry(const RegHive, const vrkstring&, const vrkstring&, RegSam)",
                             SEVERITY_LEVEL_HIGH, kEngineCodeNoKeyObject);
}

RegEntry::RegEntry(const RegEntry& other) : m_key(CopyKey(*other.m_key)), m_name(other.m_name) {}

RegEntry& RegEntry::operator=(const RegEntry& other)
{
    // Both new parts are made before either is swapped in, so a failure leaves this
    // entry with its previous key and name.
    std::unique_ptr<RegKey> key = CopyKey(*other.m_key);
    vrkstring name = other.m_name;
    m_key.swap(key);
    m_name.swap(name);
    return *this;
}

RegEntry::~RegEntry()
{
    // The key (and its handle) goes before the name.
    m_key.reset();
}

bool RegEntry::Exists() const
{
    return VrkRegistry::Instance()->Exists(*m_key, m_name);
}

const vrkstring& RegEntry::GetName() const
{
    return m_name;
}

DWORD RegEntry::GetType() const
{
    return VrkRegistry::Instance()->GetValueType(*m_key, m_name);
}

vrkstring& RegEntry::GetValue(vrkstring& value) const
{
    return VrkRegistry::Instance()->GetValue(*m_key, m_name, value);
}

void RegEntry::SetValue(const vrkstring& value)
{
    VrkRegistry::Instance()->SetValue(*m_key, m_name, value);
}

void RegEntry::SetValue(const DWORD& value)
{
    VrkRegistry::Instance()->SetValue(*m_key, m_name, value);
}

std::vector<vrkstring>& RegEntry::GetValue(std::vector<vrkstring>& values) const
{
    return VrkRegistry::Instance()->GetValue(*m_key, m_name, values);
}

void RegEntry::SetValue(const std::vector<vrkstring>& values)
{
    VrkRegistry::Instance()->SetValue(*m_key, m_name, values);
}

void RegEntry::Delete()
{
    VrkRegistry::Instance()->DeleteValue(*m_key, m_name);
}

} // namespace Veyrak
