// VerifiedFiles.cpp: verification of a component's file, once per file, and of its module, once
// per module.
#include "integrity/VerifiedFiles.h"

#include "Common/Utility/Result.h"

#include "vrksolauth.h"

#include <algorithm>

namespace Veyrak
{

VerifiedFiles::Entry* VerifiedFiles::Find(const FileIdentity& identity)
{
    for (Entry& entry : m_entries)
        if (entry.file.Identity() == identity)
            return &entry;
    return nullptr;
}

bool VerifiedFiles::Known(HMODULE module, const FileIdentity* file)
{
    std::lock_guard<std::mutex> hold(m_lock);
    for (const Entry& entry : m_entries)
        if ((!file || entry.file.Identity() == *file) &&
            std::find(entry.modules.begin(), entry.modules.end(), module) != entry.modules.end())
            return true;
    return false;
}

HRESULT VerifiedFiles::Verify(const std::wstring& path, FileIdentity& identity, SignatureVerdict* signature)
{
    HeldFile file;
    VRK_RETURN_IF_FAILED(HeldFile::Open(path, file));
    identity = file.Identity();
    {
        // The entry's handle has kept the file from changing since it was verified.
        std::lock_guard<std::mutex> hold(m_lock);
        if (const Entry* known = Find(identity))
        {
            if (signature)
                *signature = known->signature;
            return S_OK;
        }
    }
    const SignatureVerdict verdict = VerifySignature(file);
    if (signature)
        *signature = verdict;
    VRK_RETURN_IF_FAILED(verdict.PublisherResult());
    std::lock_guard<std::mutex> hold(m_lock);
    if (!Find(identity))
        m_entries.push_back(Entry{std::move(file), verdict, {}});
    return S_OK;
}

HRESULT VerifiedFiles::VerifyModule(HMODULE module, const FileIdentity& file)
{
    if (!module)
        return VRK_E_COMPONENT_NOT_VERIFIED_FILE;
    if (Known(module, &file))
        return S_OK;
    FileIdentity loaded;
    if (FAILED(IdentityOfPath(ModuleFileName(module), loaded)) || loaded != file)
        return VRK_E_COMPONENT_NOT_VERIFIED_FILE;
    HMODULE pinned = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                              reinterpret_cast<LPCWSTR>(module), &pinned) ||
        pinned != module)
        return VRK_E_COMPONENT_NOT_VERIFIED_FILE;
    std::lock_guard<std::mutex> hold(m_lock);
    Entry* entry = Find(file);
    if (!entry) // forgotten meanwhile: the file is no longer held
        return VRK_E_COMPONENT_NOT_VERIFIED_FILE;
    if (std::find(entry->modules.begin(), entry->modules.end(), module) == entry->modules.end())
        entry->modules.push_back(module);
    return S_OK;
}

HRESULT VerifiedFiles::VerifyAnyModule(HMODULE module)
{
    if (!module)
        return VRK_E_COMPONENT_NOT_VERIFIED_FILE;
    if (Known(module, nullptr))
        return S_OK;
    const std::wstring path = ModuleFileName(module);
    if (path.empty())
        return VRK_E_COMPONENT_NOT_VERIFIED_FILE;
    FileIdentity file;
    VRK_RETURN_IF_FAILED(Verify(path, file));
    return VerifyModule(module, file);
}

void VerifiedFiles::Clear()
{
    std::vector<Entry> entries;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        entries.swap(m_entries);
    }
}

} // namespace Veyrak
