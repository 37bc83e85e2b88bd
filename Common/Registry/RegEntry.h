// RegEntry.h: one registry value, named by its value name under a key that the entry owns.
#pragma once

#include "Common/Registry/RegKey.h"

#include <windows.h>

#include <memory>
#include <vector>

namespace Veyrak
{

// Contract:
// - The entry owns its own copy of the key, opened by itself; it always has one.
// - An empty name denotes the key's default value.
// - Value operations forward to VrkRegistry, whose failures arrive unchanged.
// - Copying or assigning opens a fresh copy of the other entry's key; if that fails the
//   exception passes on and an assigned entry keeps its previous key and name.
// Threads: an entry belongs to one thread at a time.
class RegEntry
{
public:
    RegEntry(const RegKey& key, const vrkstring& name);
    RegEntry(RegHive hive, const vrkstring& keyPath, const vrkstring& name, RegSam sam);
    RegEntry(const RegEntry& other);

    virtual RegEntry& operator=(const RegEntry& other);
    virtual ~RegEntry();

    virtual bool Exists() const;
    virtual const vrkstring& GetName() const;
    // Reads the value as text; on failure value is unchanged.
    virtual vrkstring& GetValue(vrkstring& value) const;
    virtual void SetValue(const vrkstring& value);
    virtual void SetValue(const DWORD& value);
    // Replaces values with the stored text list; on failure values is unchanged.
    virtual std::vector<vrkstring>& GetValue(std::vector<vrkstring>& values) const;
    virtual void SetValue(const std::vector<vrkstring>& values);
    virtual void Delete();

    // The stored kind of the value (REG_SZ, REG_EXPAND_SZ, ...).
    DWORD GetType() const;

    const RegKey& GetKey() const { return *m_key; }

private:
    static std::unique_ptr<RegKey> CopyKey(const RegKey& key);

    std::unique_ptr<RegKey> m_key;
    vrkstring m_name;
};

} // namespace Veyrak
