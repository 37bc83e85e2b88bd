// ScriptTestSupport.cpp: the script case runner and the seeding of keys.
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
            if (colon == std::string::npos)
                CreateKey(HKEY_CURRENT_USER, key);
            else
                WriteString(HKEY_CURRENT_USER, key, name == "@" ? "" : name, line.substr(equals + 3));
        }
        if (row.pass == Pass::RoundTrip)
        {
            EXPECT_HR(S_OK, Veyrak::ScriptParser(m_registrar).RunScript(row.text.c_str(), TRUE));
        }
        EXPECT_HR(row.expected,
                  Veyrak::ScriptParser(m_registrar).RunScript(row.text.c_str(), row.pass == Pass::Register));
        EXPECT_EQ(Split(row.tree), RegistryTree(HKEY_CURRENT_USER, ScratchPath()));
    }
}

} // namespace VrkTest
