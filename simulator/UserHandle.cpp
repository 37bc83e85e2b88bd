// UserHandle.cpp: encoding and strict parsing of user handles.
#include "simulator/UserHandle.h"

namespace Veyrak::Simulator
{

namespace
{

constexpr wchar_t kPrefix[] = L"VRKH1:";
constexpr size_t kMaxLengthDigits = 5; // kMaxNameLength has five

void AppendField(std::wstring& handle, const std::wstring& field)
{
    handle += std::to_wstring(field.size());
    handle += L':';
    handle += field;
}

// Reads "<length>:<text>" at position, advancing it past the field.
bool ReadField(const std::wstring& handle, size_t& position, std::wstring& field)
{
    size_t digitsEnd = position;
    while (digitsEnd < handle.size() && handle[digitsEnd] >= L'0' && handle[digitsEnd] <= L'9')
        ++digitsEnd;
    size_t digits = digitsEnd - position;
    if (digits == 0 || digits > kMaxLengthDigits || (digits > 1 && handle[position] == L'0'))
        return false;
    if (digitsEnd >= handle.size() || handle[digitsEnd] != L':')
        return false;
    size_t length = 0;
    for (size_t index = position; index < digitsEnd; ++index)
        length = length * 10 + static_cast<size_t>(handle[index] - L'0');
    size_t start = digitsEnd + 1;
    if (handle.size() - start < length)
        return false;
    field = handle.substr(start, length);
    position = start + length;
    return true;
}

} // namespace

std::wstring EncodeUserHandle(const std::wstring& domain, const std::wstring& user)
{
    std::wstring handle = kPrefix;
    AppendField(handle, domain);
    handle += L':';
    AppendField(handle, user);
    return handle;
}

bool DecodeUserHandle(const std::wstring& handle, std::wstring& domain, std::wstring& user)
{
    const std::wstring prefix = kPrefix;
    if (handle.compare(0, prefix.size(), prefix) != 0)
        return false;
    size_t position = prefix.size();
    if (!ReadField(handle, position, domain))
        return false;
    if (position >= handle.size() || handle[position] != L':')
        return false;
    ++position;
    if (!ReadField(handle, position, user))
        return false;
    return position == handle.size();
}

} // namespace Veyrak::Simulator
