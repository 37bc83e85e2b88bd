// VerifiedFiles.h: the files that passed the signature check, each held open so that it cannot
// change while it is known: a verdict is reused only for the very file it was reached on.
#pragma once

#include "integrity/HeldFile.h"
#include "integrity/Signature.h"

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

namespace Veyrak
{

// Thread rules: any thread may verify at any time; the verification itself runs outside the lock,
// so two first callers for one file may both verify it, and one entry is kept.
class VerifiedFiles
{
public:
    VerifiedFiles() = default;
    VerifiedFiles(const VerifiedFiles&) = delete;
    VerifiedFiles& operator=(const VerifiedFiles&) = delete;

    // Opens the file at path and finds it verified, or verifies it: S_OK when it carries a
    // trusted signature of one of the maker's publishers; otherwise the platform's result for a
    // file that cannot be opened, the trust result, or VRK_E_COMPONENT_NOT_MAKERS. identity
    // receives the file's identity where it could be opened, signature (optional) the verdict.
    HRESULT Verify(const std::wstring& path, FileIdentity& identity, SignatureVerdict* signature = nullptr);

    // Whether the file with this identity passed and is held.
    bool Contains(const FileIdentity& identity) const;

    // Closes every held file and forgets every verdict.
    void Clear();

private:
    struct Entry
    {
        HeldFile file;
        SignatureVerdict signature;
    };
    const Entry* Find(const FileIdentity& identity) const;

    mutable std::mutex m_lock;
    std::vector<Entry> m_entries;
};

} // namespace Veyrak
