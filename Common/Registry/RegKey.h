// RegKey.h: one registry key, named by hive, path and access mask, holding its own handle.
#pragma once

#include "Common/Registry/RegTypes.h"
#include "Common/Utility/VRKException.h"

#include <windows.h>

#include <vector>

namespace Veyrak
{

class RegEntry;

// Contract:
// - A key object never shares its handle: constructing, copying and assigning open the key
//   again for this object (creating it when it is missing), and the destructor closes it.
// - Constructors either end with an open key or throw, leaving nothing open.
// - Every failure is a VRKLegacyException that has written its log record before the throw;
//   failures of opening, closing and deleting come from VrkRegistry unchanged.
// - Enumerations only append to their vector, in the platform's index order; each element
//   holds its own open handle.
// Threads: a key object belongs to one thread at a time.
class RegKey
{
public:
    // fullPath is an exact hive name ("HKEY_CURRENT_USER"), a backslash, then the key path.
    RegKey(const vrkstring& fullPath, RegSam sam);
    RegKey(RegHive hive, const vrkstring& keyPath, RegSam sam);
    RegKey(const RegKey& other);
    // Takes over other's handle; other is left without one, as if closed. Lets vectors of
    // keys grow without opening (or re-creating) every element again.
    RegKey(RegKey&& other) noexcept;

    // Takes other's hive, path, name and mask, then closes this key and opens it again.
    // A close failure leaves the new names with the old handle.
    virtual RegKey& operator=(const RegKey& other);
    // Closes the handle; a close failure is swallowed (the handle is then lost to the process).
    virtual ~RegKey();

    virtual void EnumerateKeys(std::vector<RegKey>& out) const;
    virtual void EnumerateEntries(std::vector<RegEntry>& out) const;
    virtual bool IsValid() const;
    // Deletes every subkey (depth first) and value, then the key itself. The object keeps
    // its handle. A key directly under its hive cannot be deleted: that fails after its
    // contents are gone. A key that names the hive itself fails before anything is deleted.
    virtual void DeleteKey();
    virtual const vrkstring& GetName() const;
    virtual const vrkstring& GetKeyPath() const;
    virtual const RegHive& GetHive() const;
    virtual RegSam GetSam() const;

private:
    friend class VrkRegistry;

    // A subkey found by an enumeration, with its name as the platform gave it.
    RegKey(RegHive hive, const vrkstring& keyPath, const vrkstring& name, RegSam sam);

    HKEY m_handle = nullptr;
    RegHive m_hive = RegHive::ClassesRoot;
    vrkstring m_keyPath;
    vrkstring m_name;
    RegSam m_sam;
};

} // namespace Veyrak
