// ScriptTestSupport.cpp: the script fixture and the registry dump.
#include "ScriptTestSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace VrkTest
{

namespace
{

std::string ValueText(DWORD type, const std::vector<BYTE>& data, DWORD size)
{
    char number[16];
    switch (type)
    {
        case REG_SZ:
            return "S:" + std::string(reinterpret_cast<const char*>(data.data()), size ? size - 1 : 0);
        case REG_DWORD:
        {
            DWORD value = 0;
            std::memcpy(&value, data.data(), sizeof value);
            std::snprintf(number, sizeof number, "%lu", static_cast<unsigned long>(value));
            return std::string("D:") + number;
        }
        case REG_BINARY:
        {
            std::string text = "B:";
            for (DWORD i = 0; i < size; ++i)
            {
                std::snprintf(number, sizeof number, "%02x", data[i]);
                text += number;
            }
            return text;
        }
        default:
            std::snprintf(number, sizeof number, "?%lu", static_cast<unsigned long>(type));
            return number;
    }
}

void DumpKey(HKEY root, const std::string& path, const std::string& relative, std::vector<std::string>& lines)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    const std::string label = relative.empty() ? "." : relative;
    if (!relative.empty())
        lines.push_back(relative);
    for (DWORD index = 0;; ++index)
    {
        char name[16384];
        DWORD nameLength = sizeof name;
        std::vector<BYTE> data(65536);
        DWORD size = static_cast<DWORD>(data.size());
        DWORD type = 0;
        if (::RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
            break;
        lines.push_back(label + ":" + (name[0] ? name : "@") + "=" + ValueText(type, data, size));
    }
    std::vector<std::string> subkeys;
    for (DWORD index = 0;; ++index)
    {
        char name[256];
        DWORD nameLength = sizeof name;
        if (::RegEnumKeyExA(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        subkeys.push_back(name);
    }
    ::RegCloseKey(key);
    for (const std::string& subkey : subkeys)
        DumpKey(root, path + "\\" + subkey, relative.empty() ? subkey : relative + "\\" + subkey, lines);
}

} // namespace

std::string Lines(std::vector<std::string> lines)
{
    std::sort(lines.begin(), lines.end());
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

std::string DumpTree(HKEY root, const std::string& path)
{
    std::vector<std::string> lines;
    DumpKey(root, path, "", lines);
    return Lines(lines);
}

std::string ScriptTest::InScratch(const std::string& body) const
{
    const std::string leaf = ScratchPath().substr(ScratchPath().rfind('\\') + 1);
    return "HKCU\r\n{\r\n NoRemove Software { NoRemove VrkTests { NoRemove '" + leaf + "'\r\n{\r\n" + body +
           "\r\n} } }\r\n}\r\n";
}

HRESULT ScriptTest::RunText(const std::string& text, bool doRegister)
{
    return Veyrak::ScriptParser(m_registrar).RunScript(text.c_str(), doRegister);
}

HRESULT ScriptTest::Run(const std::string& body, bool doRegister)
{
    return RunText(InScratch(body), doRegister);
}

void ScriptTest::SetString(const std::string& path, const std::string& name, const std::string& value)
{
    MakeKey(path);
    HKEY key = nullptr;
    const std::string full = path.empty() ? ScratchPath() : ScratchPath() + "\\" + path;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_CURRENT_USER, full.c_str(), 0, KEY_SET_VALUE, &key));
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegSetValueExA(key, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(value.c_str()), static_cast<DWORD>(value.size() + 1)));
    ::RegCloseKey(key);
}

void ScriptTest::MakeKey(const std::string& path)
{
    CreateKey(HKEY_CURRENT_USER, path.empty() ? ScratchPath() : ScratchPath() + "\\" + path);
}

} // namespace VrkTest
