// VrkRegistry.h: the process-wide object through which the registry classes open, close
// and delete keys and read, write and delete values.
#pragma once

#include "Common/Registry/RegKey.h"
#include "Common/Utility/VRKException.h"

#include <windows.h>

#include <vector>

namespace Veyrak
{

// Contract: each operation is one short exchange with the platform's ANSI registry
// functions; each platform failure is raised as a VRKLegacyException that has written
// its log record. Value operations hand the key's handle over as it is, also when the
// key has none, and report the platform's answer like any other failure.
// Threads: the operations keep no state, so any thread may call them for different
// keys at once. Instance() creates the object once even under concurrent first calls;
// it lives until the module unloads.
class VrkRegistry
{
public:
    static VrkRegistry* Instance();

    VrkRegistry(const VrkRegistry&) = delete;
    VrkRegistry& operator=(const VrkRegistry&) = delete;
    virtual ~VrkRegistry() = default;

    // True exactly when the value can be queried.
    bool Exists(const RegKey& key, const vrkstring& name) const;
    // Any value kind is read as its bytes up to the first zero byte.
    vrkstring& GetValue(const RegKey& key, const vrkstring& name, vrkstring& value) const;
    // The value's stored kind (REG_SZ, REG_EXPAND_SZ, ...): how its text is to be read.
    DWORD GetValueType(const RegKey& key, const vrkstring& name) const;
    // The texts up to the first empty one.
    std::vector<vrkstring>& GetValue(const RegKey& key, const vrkstring& name, std::vector<vrkstring>& values) const;
    void SetValue(const RegKey& key, const vrkstring& name, const vrkstring& value) const;
    void SetValue(const RegKey& key, const vrkstring& name, DWORD value) const;
    void SetValue(const RegKey& key, const vrkstring& name, const std::vector<vrkstring>& values) const;
    // Deleting a value that is not there is no failure.
    void DeleteValue(const RegKey& key, vrkstring name) const;

    // Closes the key's handle if it has one, then creates (or opens) the key with its
    // hive, path and mask. Every failure, a close failure included, arrives as the
    // create failure.
    void CreateKey(RegKey& key) const;
    // On failure the key keeps its handle.
    void CloseKey(RegKey& key) const;
    // Deletes one empty subkey of parent; does nothing when parent has no handle.
    void DeleteKey(const RegKey& parent, const vrkstring& name) const;

private:
    VrkRegistry();

    // Stored for the maker's other products; nothing here reads it.
    vrkstring m_rootKeyPath;
};

} // namespace Veyrak
