// HeldFile.cpp: opening files for verification, and their identities.
#include "integrity/HeldFile.h"

#include "Common/Utility/Result.h"

#include <cwctype>
#include <vector>

namespace Veyrak
{

namespace
{

// CreateFileW's failure value is not the null handle that UniqueHandle takes for none.
HRESULT OpenFile(const std::wstring& path, DWORD access, DWORD sharing, UniqueHandle& out)
{
    HANDLE handle =
        ::CreateFileW(path.c_str(), access, sharing, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return LastErrorResult();
    out.reset(handle);
    return S_OK;
}

HRESULT IdentityOfHandle(HANDLE handle, FileIdentity& identity)
{
    BY_HANDLE_FILE_INFORMATION information = {};
    if (!::GetFileInformationByHandle(handle, &information))
        return LastErrorResult();
    identity.volume = information.dwVolumeSerialNumber;
    identity.indexHigh = information.nFileIndexHigh;
    identity.indexLow = information.nFileIndexLow;
    return S_OK;
}

} // namespace

HRESULT HeldFile::Open(const std::wstring& path, HeldFile& out)
{
    out = HeldFile();
    HeldFile file;
    VRK_RETURN_IF_FAILED(OpenFile(path, GENERIC_READ, FILE_SHARE_READ, file.m_handle));
    VRK_RETURN_IF_FAILED(IdentityOfHandle(file.m_handle.get(), file.m_identity));
    file.m_path = path;
    out = std::move(file);
    return S_OK;
}

HRESULT IdentityOfPath(const std::wstring& path, FileIdentity& identity)
{
    UniqueHandle handle;
    // Attributes only, sharing everything: asking never disturbs anyone who has the file open.
    VRK_RETURN_IF_FAILED(
        OpenFile(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, handle));
    return IdentityOfHandle(handle.get(), identity);
}

std::wstring ModuleFileName(HMODULE module)
{
    // The longest path the platform has, so that a long one is never cut and taken for another.
    std::vector<wchar_t> path(32768);
    const DWORD length = ::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0 || length >= path.size())
        return std::wstring();
    return std::wstring(path.data(), length);
}

bool IsAbsolutePath(const std::wstring& path)
{
    if (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\')
        return true;
    return path.size() >= 3 && std::iswalpha(path[0]) && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/');
}

} // namespace Veyrak
