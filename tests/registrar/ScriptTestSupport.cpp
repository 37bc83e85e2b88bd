// ScriptTestSupport.cpp: the script case runner, the seeding of keys and the registry dump.
#include "ScriptTestSupport.h"

#include "registrar/ScriptParser.h"

#include <set>
#include <sstream>

namespace VrkTest
{

namespace
{

std::multiset<std::string> Split(const std::string& joined)
{
    std::multiset<std::string> lines;
    std::istringstream stream(joined);
    for (std::string line; std::getline(stream, line, '|');)
        lines.insert(line);
    return lines;
}

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

void DumpKey(const std::string& path, const std::string& relative, std::multiset<std::string>& lines)
{
    Veyrak::UniqueHkey key;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return;
    if (!relative.empty())
        lines.insert(relative);
    char name[16384];
    std::vector<BYTE> data(65536);
    for (DWORD index = 0;; ++index)
    {
        DWORD nameLength = sizeof name, size = static_cast<DWORD>(data.size()), type = 0;
        if (::RegEnumValueA(key.get(), index, name, &nameLength, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
            break;
        lines.insert((relative.empty() ? "." : relative) + ":" + (name[0] ? name : "@") + "=" +
                     ValueText(type, data.data(), size));
    }
    for (DWORD index = 0;; ++index)
    {
        DWORD nameLength = sizeof name;
        if (::RegEnumKeyExA(key.get(), index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        DumpKey(path + "\\" + name, relative.empty() ? name : relative + "\\" + name, lines);
    }
}

} // namespace

std::string ScriptTest::InScratch(const std::string& body) const
{
    const std::string leaf = ScratchPath().substr(ScratchPath().rfind('\\') + 1);
    return "HKCU\r\n{\r\n NoRemove Software { NoRemove VrkTests { NoRemove '" + leaf + "'\r\n{\r\n" + body +
           "\r\n} } }\r\n}\r\n";
}

void ScriptTest::RunCases(const std::vector<ScriptCase>& cases)
{
    for (const ScriptCase& row : cases)
    {
        SCOPED_TRACE(row.name);
        DeleteTree(HKEY_CURRENT_USER, ScratchPath());
        CreateKey(HKEY_CURRENT_USER, ScratchPath());
        for (const std::string& line : Split(row.seed))
        {
            const size_t colon = line.find(':'), equals = line.find("=S:");
            const std::string path = line.substr(0, colon), name = line.substr(colon + 1, equals - colon - 1);
            const std::string key = ScratchPath() + (path == "." ? "" : "\\" + path);
            CreateKey(HKEY_CURRENT_USER, key);
            if (colon != std::string::npos)
            {
                ASSERT_EQ(ERROR_SUCCESS,
                          ::RegSetKeyValueA(HKEY_CURRENT_USER, key.c_str(), name == "@" ? nullptr : name.c_str(),
                                            REG_SZ, line.c_str() + equals + 3,
                                            static_cast<DWORD>(line.size() - equals - 2)));
            }
        }
        if (row.pass == Pass::RoundTrip)
        {
            EXPECT_HR(S_OK, Veyrak::ScriptParser(m_registrar).RunScript(row.text.c_str(), TRUE));
        }
        EXPECT_HR(row.expected,
                  Veyrak::ScriptParser(m_registrar).RunScript(row.text.c_str(), row.pass == Pass::Register));
        std::multiset<std::string> lines;
        DumpKey(ScratchPath(), "", lines);
        EXPECT_EQ(Split(row.tree), lines);
    }
}

} // namespace VrkTest
