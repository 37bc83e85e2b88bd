// HeldFile.h: a file held open so that nobody can change it while it is held, and the identity
// by which two paths to one file are told apart from two files.
#pragma once

#include "Common/Utility/UniqueResource.h"

#include <windows.h>

#include <string>

namespace Veyrak
{

// A file's identity: its volume and its index on the volume, which stay through renames and
// hard links and differ between two files.
struct FileIdentity
{
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;

    bool operator==(const FileIdentity& other) const
    {
        return volume == other.volume && indexHigh == other.indexHigh && indexLow == other.indexLow;
    }
    bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};

// A file opened for reading with no sharing but reading: while it is held nobody can write,
// rename or delete it, so what was read or verified through it stays what is on disk. Loading
// the file as a module still works (the loader only reads). Move-only.
class HeldFile
{
public:
    // Opens path and reads its identity; on failure the platform's result (a missing file, a
    // file that someone holds open for writing) and out is left closed.
    static HRESULT Open(const std::wstring& path, HeldFile& out);

    HANDLE Handle() const { return m_handle.get(); }
    const FileIdentity& Identity() const { return m_identity; }
    const std::wstring& Path() const { return m_path; }

private:
    UniqueHandle m_handle;
    FileIdentity m_identity;
    std::wstring m_path;
};

// The identity of the file that path names now, without holding it.
HRESULT IdentityOfPath(const std::wstring& path, FileIdentity& identity);

// The full path of a loaded module's file; empty when it cannot be read whole.
std::wstring ModuleFileName(HMODULE module);

// Whether path is absolute: a drive and a root ("C:\..."), or a UNC or device path ("\\...").
// Anything else depends on a current folder or a search order.
bool IsAbsolutePath(const std::wstring& path);

} // namespace Veyrak
