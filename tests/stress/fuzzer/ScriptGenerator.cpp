// ScriptGenerator.cpp: the grammar the generator follows and the mutations it applies.
#include "ScriptGenerator.h"

#include <cwchar>
#include <vector>

namespace VrkFuzz
{

// The module path is stored with its quotes doubled, as the server's own registration does.
const FuzzVariable kVariables[] = {
    {L"Module", L"C:\\Program Files\\It''s here\\vrk.dll", false},
    {L"Plain", L"Plain", true},
    {L"Umlaut", L"\u00dcml\u00e4ut", true},
    {L"Percent", L"50%", true},
    {L"Blank", L"a b", false},
    {L"Empty", L"", true},
};
const size_t kVariableCount = sizeof kVariables / sizeof kVariables[0];

const HiveName kHiveNames[] = {
    {"HKCR", HKEY_CLASSES_ROOT},
    {"HKCU", HKEY_CURRENT_USER},
    {"HKLM", HKEY_LOCAL_MACHINE},
    {"HKU", HKEY_USERS},
    {"HKCC", HKEY_CURRENT_CONFIG},
    {"hkcu", HKEY_CURRENT_USER},
    {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"hkey_users", HKEY_USERS},
    {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
};
const size_t kHiveNameCount = sizeof kHiveNames / sizeof kHiveNames[0];

namespace
{

const char* const kKeywords[] = {"ForceRemove", "NoRemove", "Delete", "Val"};

// Name characters: quotes, braces, "=" and "%" inside names, and ANSI letters above 127.
const char kNameCharacters[] = "abcdefXYZ0189-_.,;()[]!#&+~@$^{}='% \v\xC4\xE9\xFC\xDF";

bool EqualsIgnoringCase(const std::string& text, const char* word)
{
    return ::lstrcmpiA(text.c_str(), word) == 0;
}

// A keyword as written, in lower case, or quoted: each is the same keyword.
std::string Spelled(const char* keyword, size_t choice)
{
    std::string text = keyword;
    if (choice == 1)
    {
        for (char& c : text)
            c = static_cast<char>(c | 0x20);
    }
    return choice == 2 ? "'" + text + "'" : text;
}

} // namespace

std::string ScriptGenerator::Blank()
{
    static const char* const blanks[] = {" ", "\t", "\r\n", "\n", "  ", " \r\n\t"};
    return blanks[Below(6)];
}

// The text as one script token: quoted where it must be (and sometimes where it need not be),
// "%" and quotes escaped, and sometimes a variable reference appended.
std::string ScriptGenerator::Token(const std::string& text, References references, bool forceQuotes)
{
    bool quoted = forceQuotes || text.empty() || text[0] == '\'' || Chance(30) ||
                  text.find_first_of(" \t\r\n") != std::string::npos;
    std::string token = quoted ? "'" : "";
    for (char c : text)
        token += c == '%' ? "%%" : quoted && c == '\'' ? "''" : std::string(1, c);
    if (references != References::None && Chance(15))
    {
        const FuzzVariable& variable = kVariables[Below(kVariableCount)];
        const bool isPath = std::wcschr(variable.value, L'\\') != nullptr;
        if ((quoted || variable.fitsUnquoted) && !(isPath && references == References::NoPaths))
        {
            token += '%';
            for (const wchar_t* c = variable.name; *c; ++c)
                token += Chance(50) ? static_cast<char>(*c) : static_cast<char>(*c ^ 0x20); // any case
            token += '%';
        }
    }
    return quoted ? token + "'" : token;
}

// A key name (1 to 255 characters, at most 255 once expanded) or a value name (0 to 259); never a
// keyword, a backslash, a lone "{" or a leading "}" or "=", which the grammar would read otherwise.
std::string ScriptGenerator::Name(bool keyName)
{
    const size_t longest = keyName ? 255 : 259;
    if (Chance(3))
        return Token(std::string(longest, keyName ? 'k' : 'v'), References::None);
    std::string name;
    const size_t length = (keyName ? 1 : 0) + Below(12);
    for (size_t i = 0; i < length; ++i)
        name += kNameCharacters[Below(sizeof kNameCharacters - 1)];
    while (!name.empty() && (name[0] == '}' || name[0] == '='))
        name[0] = 'n';
    for (const char* keyword : kKeywords)
    {
        if (EqualsIgnoringCase(name, keyword))
            name += 'x';
    }
    if (name == "{")
        name = "{x";
    // A key name cannot hold the path that Module expands to; a value name can.
    return Token(name, keyName ? References::NoPaths : References::Any);
}

std::string ScriptGenerator::Assignment()
{
    static const char* const types[] = {"s", "S", "d", "D", "b", "B"};
    const char* type = types[Below(6)];
    std::string value;
    switch (type[0] | 0x20)
    {
        case 's':
            if (Chance(2))
                return " = " + std::string(type) + " " + Token(std::string(4094, 'v'), References::None, true);
            for (size_t i = Below(20); i > 0; --i)
                value += kNameCharacters[Below(sizeof kNameCharacters - 1)];
            return " = " + std::string(type) + Blank() + Token(value, References::Any);
        case 'd':
            value = std::to_string(Chance(10) ? 4294967295u : static_cast<uint32_t>(m_random()));
            break;
        default:
            for (size_t i = 2 * Below(9); i > 0; --i)
                value += "0123456789abcdefABCDEFzq"[Below(24)];
            break;
    }
    return " = " + std::string(type) + Blank() + Token(value, References::None);
}

std::string ScriptGenerator::Entries(int depth, bool allowNoRemove, bool& usesNoRemove)
{
    std::string text;
    for (size_t count = 1 + Below(depth == 0 ? 6 : 3); count > 0; --count)
    {
        text += Blank();
        const size_t kind = Below(100);
        if (allowNoRemove && Chance(8))
        {
            text += Spelled("NoRemove", Below(3)) + Blank();
            usesNoRemove = true;
        }
        if (kind < 20)
        {
            text += Spelled("Val", Below(3)) + Blank() + Name(false) + Assignment();
            continue;
        }
        if (kind < 30)
        {
            text += Spelled("Delete", Below(3)) + Blank() + Name(true) + (Chance(30) ? Assignment() : "");
            continue;
        }
        if (Chance(15))
            text += Spelled("ForceRemove", Below(3)) + Blank();
        text += Name(true);
        if (Chance(40))
            text += Assignment();
        if (depth < 4 && Chance(45))
            text += Blank() + "{" + (Chance(10) ? "" : Entries(depth + 1, allowNoRemove, usesNoRemove)) + Blank() + "}";
    }
    return text;
}

std::string ScriptGenerator::HiveBlock(const std::string& hive, const std::string& entries)
{
    return hive + Blank() + "{" + entries + Blank() + "}";
}

const HiveName& ScriptGenerator::PickHive(HKEY differentFrom)
{
    for (;;)
    {
        const HiveName& hive = kHiveNames[Below(kHiveNameCount)];
        if (hive.root != differentFrom)
            return hive;
    }
}

GeneratedScript ScriptGenerator::WellFormed()
{
    GeneratedScript script;
    std::string text = Chance(30) ? Blank() : "";
    for (size_t blocks = 1 + Below(3); blocks > 0; --blocks)
        text += HiveBlock(PickHive(nullptr).name, Entries(0, true, script.usesNoRemove)) + Blank();
    script.text = text;
    return script;
}

// One faulty top-level entry and its documented result.
std::string ScriptGenerator::FaultyEntry(HRESULT& expected)
{
    expected = DISP_E_EXCEPTION;
    const std::string odd = std::string(1 + 2 * Below(3), 'a');
    switch (Below(12))
    {
        case 0:
            return Name(true) + " = " + std::string(Chance(50) ? "x" : "sz") + " v";
        case 1:
            expected = E_FAIL;
            return Name(true) + " = b " + odd;
        case 2:
            expected = E_FAIL;
            return "Val " + Name(false) + " = B " + odd;
        case 3:
            return std::string(Chance(50)   ? "Delete "
                               : Chance(50) ? "ForceRemove "
                                            : "") +
                   Token("a\\b", References::None);
        case 4:
            return "Val " + Name(false) + " s x";
        case 5:
            return Name(true) + " = d " + (Chance(50) ? "12z" : "99999999999");
        case 6:
            return Token(std::string(4095, 'q'), References::None, true);
        case 7:
            return std::string(4096 + Below(100), 'u');
        case 8:
            return "Val " + std::string(260, 'v') + " = s x";
        case 9:
            return std::string(257 + Below(50), 'k'); // Windows refuses 256 already, Wine from 257
        case 10:
            return Name(true) + " = s " + Token(std::string(4095, 'v'), References::None, true);
        default:
            return "Val " + Name(false) + " = s x { A }";
    }
}

GeneratedScript ScriptGenerator::WithFault()
{
    GeneratedScript script;
    const HiveName& faultyHive = PickHive(nullptr);
    for (size_t blocks = Below(3); blocks > 0; --blocks)
        script.survivingPrefix +=
            HiveBlock(PickHive(faultyHive.root).name, Entries(0, true, script.usesNoRemove)) + Blank();

    bool unused = false;
    std::string entries = Chance(70) ? Entries(0, false, unused) + Blank() : Blank();
    if (Chance(8))
    {
        // The text ends inside the block.
        script.text =
            script.survivingPrefix + faultyHive.name + Blank() + "{" + entries + (Chance(50) ? "ForceRemove" : "");
        script.expected = DISP_E_EXCEPTION;
        return script;
    }
    entries += FaultyEntry(script.expected);
    if (Chance(50))
        entries += Entries(0, false, unused);
    script.text = script.survivingPrefix + HiveBlock(faultyHive.name, Blank() + entries);

    if (Chance(20))
    {
        // A bad variable reference fails the run before any key is touched. Blanks lie outside
        // every reference, so one is a safe place to put it.
        static const char* const references[] = {"%Undefined%", "%nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn%"};
        const size_t choice = Below(3);
        std::vector<size_t> blanks;
        for (size_t at = 0; at < script.text.size(); ++at)
        {
            if (script.text[at] == ' ' || script.text[at] == '\n')
                blanks.push_back(at);
        }
        if (choice == 2)
            script.text += " %unclosed";
        else
            script.text.insert(blanks.empty() ? 0 : blanks[Below(blanks.size())],
                               std::string(" ") + references[choice]);
        script.expected = choice == 1 ? E_FAIL : DISP_E_EXCEPTION;
        script.survivingPrefix.clear();
    }
    return script;
}

std::string ScriptGenerator::Mutate(std::string text)
{
    static const std::vector<std::string> fragments = {"{",
                                                       "}",
                                                       "=",
                                                       "'",
                                                       "''",
                                                       "%",
                                                       "%%",
                                                       "%MODULE%",
                                                       "%Undefined%",
                                                       "\\",
                                                       " ",
                                                       "\t",
                                                       "\r\n",
                                                       "NoRemove",
                                                       "ForceRemove",
                                                       "Delete",
                                                       "Val",
                                                       "s",
                                                       "d",
                                                       "b",
                                                       "HKCU",
                                                       "HKLM",
                                                       "CLSID",
                                                       "\xE9",
                                                       "\x81\x40",
                                                       "\x00",
                                                       std::string(4094, 'x'),
                                                       std::string(4095, 'x'),
                                                       std::string(5000, 'x'),
                                                       std::string(300, 'v')};
    for (size_t count = 1 + Below(4); count > 0; --count)
    {
        const size_t at = Below(text.size() + 1);
        const std::string& fragment = fragments[Below(fragments.size())];
        switch (Below(5))
        {
            case 0:
                if (at < text.size())
                    text[at] = static_cast<char>(Below(256));
                break;
            case 1:
                text.insert(at, fragment);
                break;
            case 2:
                text.erase(at, 1 + Below(8));
                break;
            case 3:
                text.insert(Below(text.size() + 1), text.substr(at, 1 + Below(64)));
                break;
            default:
                text.resize(at);
                break;
        }
    }
    return text;
}

} // namespace VrkFuzz
