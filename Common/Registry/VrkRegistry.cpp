// VrkRegistry.cpp: the registry singleton: key opening, closing and deletion, and value access.
#include "Common/Registry/VrkRegistry.h"

#include "Common/Utility/VRKLegacyException.h"

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>

namespace Veyrak
{
namespace
{
std::atomic<VrkRegistry*> s_instance{nullptr};
std::mutex s_instanceLock;

// Destroys the instance when the module unloads.
struct InstanceGuard
{
    ~InstanceGuard() { delete s_instance.exchange(nullptr); }
};

const char kReadSite[] = "VrkRegistry::GetValue(vrkstring), throw #2";
// The text list's buffer failure shares the read's tag; callers match on it.
const char kBufferSite[] = "VrkRegistry::GetValue(vrkstring), throw #1";
const char kTextWriteMessage[] = "Unable to set registry string value, Win32 returned ";
const char kTextWriteSite[] = "VrkRegistry::SetValue(vrkstring), throw #1";

vrkstring WithCode(const char* message, LONG status)
{
    return message + std::to_string(status);
}

std::unique_ptr<char[]> AllocateBuffer(size_t size)
{
    return std::unique_ptr<char[]>(new (std::nothrow) char[size]);
}

struct ValueBytes
{
    std::unique_ptr<char[]> data;
    DWORD size = 0;
};

// Reads a value's bytes, whatever its kind, for the two GetValue forms.
ValueBytes ReadValueBytes(HKEY handle, const vrkstring& name)
{
    DWORD type = 0;
    DWORD size = 0;
    // A failed size query reads as zero bytes; the read below then reports the failure.
    if (::RegQueryValueExA(handle, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        size = 0;
    ValueBytes bytes;
    bytes.data = AllocateBuffer(static_cast<size_t>(size) + 1);
    if (!bytes.data)
        ThrowLegacyException("Could not create buffer", kBufferSite, SEVERITY_LEVEL_MEDIUM,
                             VRKENG_VRKREGISTRY_COULDNOTCREATEBUFFER);
    bytes.data[0] = '\0';
    // The capacity stays the queried size: a value that grew since is a failure, not a retry.
    bytes.size = size;
    const LONG status = ::RegQueryValueExA(handle, name.c_str(), nullptr, &type,
                                           reinterpret_cast<BYTE*>(bytes.data.get()), &bytes.size);
    if (status != ERROR_SUCCESS)
        ThrowLegacyException(WithCode(kTextWriteMessage, status), kReadSite, SEVERITY_LEVEL_MEDIUM,
                             VRKENG_VRKREGISTRY_COULDNOTGETVALUE);
    return bytes;
}
} // namespace

VrkRegistry::VrkRegistry() : m_rootKeyPath("Software\\VEYRAK Corporation") {}

VrkRegistry* VrkRegistry::Instance()
{
    if (VrkRegistry* current = s_instance.load(std::memory_order_acquire))
        return current;
    // Concurrent first callers wait here, so exactly one object is ever made.
    std::lock_guard<std::mutex> hold(s_instanceLock);
    if (VrkRegistry* current = s_instance.load(std::memory_order_acquire))
        return current;
    VrkRegistry* created = nullptr;
    try
    {
        created = new (std::nothrow) VrkRegistry();
    }
    catch (const std::bad_alloc&)
    {
        // The root path could not be stored; reported as the object's own allocation failure.
    }
    if (!created)
        ThrowLegacyException("Unable to create VrkRegistry Instance", "VrkRegistry::Instance(), throw #1",
                             SEVERITY_LEVEL_HIGH, VRKENG_VRKREGISTRY_NOINSTANCE);
    static InstanceGuard guard;
    s_instance.store(created, std::memory_order_release);
    return created;
}

bool VrkRegistry::Exists(const RegKey& key, const vrkstring& name) const
{
    return ::RegQueryValueExA(key.m_handle, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

vrkstring& VrkRegistry::GetValue(const RegKey& key, const vrkstring& name, vrkstring& value) const
{
    const ValueBytes bytes = ReadValueBytes(key.m_handle, name);
    // Never past the returned bytes: a stored value need not end in a zero byte.
    value.assign(bytes.data.get(), ::strnlen(bytes.data.get(), bytes.size));
    return value;
}

DWORD VrkRegistry::GetValueType(const RegKey& key, const vrkstring& name) const
{
    DWORD type = REG_NONE;
    const LONG status = ::RegQueryValueExA(key.m_handle, name.c_str(), nullptr, &type, nullptr, nullptr);
    if (status != ERROR_SUCCESS)
        ThrowLegacyException(WithCode("Unable to read registry value type, Win32 returned ", status),
                             "VrkRegistry::GetValueType(), throw #1", SEVERITY_LEVEL_MEDIUM,
                             VRKENG_VRKREGISTRY_COULDNOTGETVALUE);
    return type;
}

std::vector<vrkstring>& VrkRegistry::GetValue(const RegKey& key, const vrkstring& name,
                                              std::vector<vrkstring>& values) const
{
    const ValueBytes bytes = ReadValueBytes(key.m_handle, name);
    std::vector<vrkstring> texts;
    size_t position = 0;
    while (position < bytes.size)
    {
        const char* text = bytes.data.get() + position;
        const size_t length = ::strnlen(text, bytes.size - position);
        if (length == 0)
            break;
        texts.emplace_back(text, length);
        position += length + 1;
    }
    values.swap(texts);
    return values;
}

void VrkRegistry::SetValue(const RegKey& key, const vrkstring& name, const vrkstring& value) const
{
    const LONG status =
        ::RegSetValueExA(key.m_handle, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                         static_cast<DWORD>(value.size() + 1));
    if (status != ERROR_SUCCESS)
        ThrowLegacyException(WithCode(kTextWriteMessage, status), kTextWriteSite, SEVERITY_LEVEL_MEDIUM,
                             VRKENG_VRKREGISTRY_COULDNOTSETVALUE);
}

void VrkRegistry::SetValue(const RegKey& key, const vrkstring& name, DWORD value) const
{
    const LONG status =
        ::RegSetValueExA(key.m_handle, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    if (status != ERROR_SUCCESS)
        ThrowLegacyException(WithCode("Unable to set registry DWORD value, Win32 returned ", status),
                             "VrkRegistry::SetValue(dword), throw #1", SEVERITY_LEVEL_MEDIUM,
                             VRKENG_VRKREGISTRY_COULDNOTSETVALUE);
}

void VrkRegistry::SetValue(const RegKey& key, const vrkstring& name, const std::vector<vrkstring>& values) const
{
    size_t size = 1;
    for (const vrkstring& text : values)
        size += text.size() + 1;
    std::unique_ptr<char[]> buffer = AllocateBuffer(size);
    if (!buffer)
        ThrowLegacyException("Could not create buffer", kBufferSite, SEVERITY_LEVEL_MEDIUM,
                             VRKENG_VRKREGISTRY_COULDNOTCREATEBUFFER);
    char* next = buffer.get();
    for (const vrkstring& text : values)
    {
        std::memcpy(next, text.c_str(), text.size() + 1);
        next += text.size() + 1;
    }
    buffer[size - 1] = '\0';
    const LONG status = ::RegSetValueExA(key.m_handle, name.c_str(), 0, REG_MULTI_SZ,
                                         reinterpret_cast<const BYTE*>(buffer.get()), static_cast<DWORD>(size));
    if (status != ERROR_SUCCESS)
        ThrowLegacyException(WithCode(kTextWriteMessage, status), kTextWriteSite, SEVERITY_LEVEL_MEDIUM,
                             VRKENG_VRKREGISTRY_COULDNOTSETVALUE);
}

void VrkRegistry::DeleteValue(const RegKey& key, vrkstring name) const
{
    const LONG status = ::RegDeleteValueA(key.m_handle, name.c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        ThrowLegacyException(WithCode("Unable to delete registry value, Win32 returned ", status),
                             "VrkRegistry::DeleteValue(), throw #1", SEVERITY_LEVEL_MEDIUM,
                             VRKENG_VRKREGISTRY_COULDDELETEVALUE);
}

void VrkRegistry::CreateKey(RegKey& key) const
{
    static const char kMessage[] = "Unable to create registry key";
    static const char kSite[] = "RegKey::CreateKey(), throw #1";
    // Every failure inside, the inner create failure included, is logged where it arises
    // and then raised again as one create failure: callers catch only that.
    try
    {
        CloseKey(key);
        HKEY handle = nullptr;
        DWORD disposition = 0;
        const LONG status = ::RegCreateKeyExA(HiveHandle(key.GetHive()), key.GetKeyPath().c_str(), 0, nullptr, 0,
                                              key.GetSam(), nullptr, &handle, &disposition);
        if (status != ERROR_SUCCESS)
        {
            key.m_handle = nullptr;
            ThrowLegacyException(kMessage, kSite, SEVERITY_LEVEL_HIGH, VRKENG_VRKREGISTRY_COULDNOTCREATEKEY);
        }
        key.m_handle = handle;
    }
    catch (...)
    {
        ThrowLegacyException(kMessage, kSite, SEVERITY_LEVEL_HIGH, VRKENG_VRKREGISTRY_COULDNOTCREATEKEY);
    }
}

void VrkRegistry::CloseKey(RegKey& key) const
{
    if (!key.m_handle)
        return;
    if (::RegCloseKey(key.m_handle) != ERROR_SUCCESS)
        ThrowLegacyException("Unable to close registry key", "VrkRegistry::CloseKey(), throw #1", SEVERITY_LEVEL_MEDIUM,
                             VRKENG_VRKREGISTRY_COULDNOTCLOSEKEY);
    key.m_handle = nullptr;
}

void VrkRegistry::DeleteKey(const RegKey& parent, const vrkstring& name) const
{
    if (!parent.m_handle)
        return;
    const LONG status = ::RegDeleteKeyA(parent.m_handle, name.c_str());
    if (status != ERROR_SUCCESS)
        ThrowLegacyException(WithCode("Error in Win32 API call RegDeleteKey. Windows returned error code: ", status),
                             "VrkRegistry::DeleteKey(), throw #1", SEVERITY_LEVEL_HIGH, kEngineCodePlatformCall);
}

} // namespace Veyrak
