// TestSupport.cpp: helpers that every test program shares.
#include "support/TestSupport.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace VrkTest
{

namespace
{

std::string ValueText(DWORD type, const BYTE* data, DWORD size)
{
    if (type == REG_SZ)
        return "S:" + std::string(reinterpret_cast<const char*>(data), size ? size - 1 : 0);
    if (type == REG_DWORD)
        return "D:" + std::to_string(*reinterpret_cast<const DWORD*>(data));
    std::string text = type == REG_BINARY ? "B:" : "?" + std::to_string(type) + ":";
    const char digits[] = "0123456789abcdef";
    for (DWORD i = 0; i < size; ++i)
        text += {digits[data[i] >> 4], digits[data[i] & 15]};
    return text;
}

// Opens each subkey through its parent's handle, so that depth and long names never hit a
// path limit; a key or value that cannot be read shows as a line of its own.
void DumpKey(HKEY parent, const std::string& name, const std::string& relative, int depth,
             std::multiset<std::string>& lines)
{
    Veyrak::UniqueHkey key;
    const bool opened = ::RegOpenKeyExA(parent, name.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
    if (!relative.empty())
        lines.insert(opened ? relative : relative + " <cannot open>");
    if (!opened)
        return;
    char child[16384];
    std::vector<BYTE> data(65536);
    for (DWORD index = 0;; ++index)
    {
        DWORD nameLength = sizeof child, size = static_cast<DWORD>(data.size()), type = 0;
        LONG result = ::RegEnumValueA(key.get(), index, child, &nameLength, nullptr, &type, data.data(), &size);
        if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA)
            break;
        lines.insert((relative.empty() ? "." : relative) + ":" + (child[0] ? child : "@") + "=" +
                     (result == ERROR_SUCCESS ? ValueText(type, data.data(), size) : "<too long to read>"));
    }
    for (DWORD index = 0; depth != 0; ++index)
    {
        DWORD nameLength = sizeof child;
        if (::RegEnumKeyExA(key.get(), index, child, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        DumpKey(key.get(), child, relative.empty() ? child : relative + "\\" + child, depth - 1, lines);
    }
}

} // namespace

std::string HResultText(HRESULT hr)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

::testing::AssertionResult HResultEquals(const char* expectedText, const char* actualText, HRESULT expected,
                                         HRESULT actual)
{
    if (expected == actual)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << actualText << " is " << HResultText(actual) << ", expected " << expectedText
                                         << " = " << HResultText(expected);
}

bool KeyExists(HKEY root, const std::string& path)
{
    Veyrak::UniqueHkey key;
    return ::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

void DeleteTree(HKEY root, const std::string& path)
{
    ::RegDeleteTreeA(root, path.c_str());
    ::RegDeleteKeyA(root, path.c_str()); // in case the platform's tree deletion keeps the key itself
}

void CreateKey(HKEY root, const std::string& path)
{
    Veyrak::UniqueHkey key;
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr));
}

std::string ReadString(HKEY root, const std::string& path, const std::string& name)
{
    const auto [type, bytes] = ReadRawValue(root, path, name);
    return type == REG_SZ ? bytes.c_str() : "<missing>";
}

std::pair<DWORD, std::string> ReadRawValue(HKEY root, const std::string& path, const std::string& name)
{
    Veyrak::UniqueHkey key;
    std::vector<char> data(65536);
    DWORD size = static_cast<DWORD>(data.size()), type = REG_NONE;
    if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS ||
        ::RegQueryValueExA(key.get(), name.empty() ? nullptr : name.c_str(), nullptr, &type,
                           reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
        return {REG_NONE, "<missing>"};
    return {type, std::string(data.data(), size)};
}

void WriteValue(HKEY root, const std::string& path, const std::string& name, DWORD type, const void* data, DWORD size)
{
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegSetKeyValueA(root, path.c_str(), name.empty() ? nullptr : name.c_str(), type, data, size));
}

void WriteString(HKEY root, const std::string& path, const std::string& name, const std::string& text)
{
    WriteValue(root, path, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

void SetProductInstalled(bool installed)
{
    installed ? CreateKey(HKEY_LOCAL_MACHINE, Veyrak::kProductKeyPath)
              : DeleteTree(HKEY_LOCAL_MACHINE, Veyrak::kProductKeyPath);
}

void ScratchKeyTest::SetUp()
{
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    m_path = std::string("Software\\VrkTests\\") + info->test_suite_name() + "." + info->name();
    DeleteTree(HKEY_CURRENT_USER, m_path);
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_CURRENT_USER, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                               nullptr, m_key.put(), nullptr));
}

void ScratchKeyTest::TearDown()
{
    m_key.reset();
    DeleteTree(HKEY_CURRENT_USER, m_path);
}

ErrorInfoSnapshot TakeErrorInfo()
{
    ErrorInfoSnapshot snapshot;
    Veyrak::ComPtr<IErrorInfo> info;
    if (::GetErrorInfo(0, info.Put()) != S_OK || !info)
        return snapshot;
    snapshot.present = true;
    Veyrak::UniqueBstr text;
    if (SUCCEEDED(info->GetDescription(text.put())) && text)
        snapshot.description.assign(text.get(), ::SysStringLen(text.get()));
    if (SUCCEEDED(info->GetSource(text.put())) && text)
        snapshot.source.assign(text.get(), ::SysStringLen(text.get()));
    info->GetGUID(&snapshot.guid);
    return snapshot;
}

std::multiset<std::string> RegistryTree(HKEY root, const std::string& path, int depth)
{
    std::multiset<std::string> lines;
    DumpKey(root, path, "", depth, lines);
    return lines;
}

long long HeapBytesInUse()
{
    HANDLE heaps[64];
    const DWORD count = std::min<DWORD>(::GetProcessHeaps(64, heaps), 64);
    long long total = 0;
    for (DWORD index = 0; index < count; ++index)
    {
        PROCESS_HEAP_ENTRY entry = {};
        ::HeapLock(heaps[index]);
        while (::HeapWalk(heaps[index], &entry))
            total += (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) ? entry.cbData : 0;
        ::HeapUnlock(heaps[index]);
    }
    EXPECT_NE(0, total) << "the heaps report no blocks: the growth check would prove nothing";
    return total;
}

} // namespace VrkTest
