// VerifiedFiles.h: the files that passed the signature check, each held open so that it cannot
// change while it is known, and the modules proven to be loaded from them: a verdict is reused
// only for the very file it was reached on, and for the module loaded from that file.
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

    // Whether module was loaded from the verified file with this identity. The first time, its
    // file is compared with the held one, and the module is then pinned in the process: it can
    // never be unloaded, so that no other module can take its place at its address and a later
    // answer is the comparison of two handles. VRK_E_COMPONENT_NOT_VERIFIED_FILE otherwise.
    HRESULT VerifyModule(HMODULE module, const FileIdentity& file);

    // Whether module is already known to be loaded from a verified file: no file is touched.
    bool IsKnownModule(HMODULE module) { return Known(module, nullptr); }

    // Whether module was loaded from any verified file; verifies the file that it was loaded
    // from where it is not known yet (then as VerifyModule).
    HRESULT VerifyAnyModule(HMODULE module);

    // Closes every held file and forgets every verdict (the pinned modules stay).
    void Clear();

private:
    struct Entry
    {
        HeldFile file;
        SignatureVerdict signature;
        std::vector<HMODULE> modules; // proven loaded from the file, and pinned
    };
    Entry* Find(const FileIdentity& identity);
    bool Known(HMODULE module, const FileIdentity* file);

    std::mutex m_lock;
    std::vector<Entry> m_entries;
};

} // namespace Veyrak
