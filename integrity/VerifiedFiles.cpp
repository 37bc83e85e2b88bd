// VerifiedFiles.cpp: verification of a component's file, once per file.
#include "integrity/VerifiedFiles.h"

#include "Common/Utility/Result.h"

namespace Veyrak
{

const VerifiedFiles::Entry* VerifiedFiles::Find(const FileIdentity& identity) const
{
    for (const Entry& entry : m_entries)
        if (entry.file.Identity() == identity)
            return &entry;
    return nullptr;
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
        m_entries.push_back(Entry{std::move(file), verdict});
    return S_OK;
}

bool VerifiedFiles::Contains(const FileIdentity& identity) const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return Find(identity) != nullptr;
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
