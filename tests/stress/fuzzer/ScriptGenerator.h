// ScriptGenerator.h: registration scripts made up from a seed: well-formed ones, ones with a
// single fault whose result the interpreter documents, and byte-level mutations of real ones.
// The same seed always gives the same script.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace VrkFuzz
{

// Variables the fuzzer's registrar defines, so that references to them expand. The module path is
// stored with its quotes doubled, as the server's own registration does.
struct FuzzVariable
{
    const wchar_t* name;
    const wchar_t* value;
};
inline constexpr FuzzVariable kVariables[] = {{L"Module", L"C:\\Program Files\\It''s here\\vrk.dll"},
                                              {L"Plain", L"Plain"},
                                              {L"Umlaut", L"\u00dcml\u00e4ut"},
                                              {L"Percent", L"50%"},
                                              {L"Blank", L"a b"},
                                              {L"Empty", L""}};

// Every spelling of every hive a script may name.
struct HiveName
{
    const char* name;
    HKEY root;
};
inline const HiveName kHives[] = {{"HKCR", HKEY_CLASSES_ROOT},
                                  {"HKCU", HKEY_CURRENT_USER},
                                  {"HKLM", HKEY_LOCAL_MACHINE},
                                  {"HKU", HKEY_USERS},
                                  {"HKCC", HKEY_CURRENT_CONFIG},
                                  {"hkcu", HKEY_CURRENT_USER},
                                  {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
                                  {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
                                  {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
                                  {"hkey_users", HKEY_USERS},
                                  {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG}};

inline constexpr const char* kKeywords[] = {"ForceRemove", "NoRemove", "Delete", "Val"};
inline constexpr const char* kBlanks[] = {" ", "\t", "\r\n", "\n", "  ", " \r\n\t"};
// Name characters: quotes, braces, "=" and "%" inside names, and ANSI letters above 127.
inline constexpr char kNameCharacters[] = "abcdefXYZ0189-_.,;()[]!#&+~@$^{}='% \v\xC4\xE9\xFC\xDF";
// What a mutation inserts: syntax, keywords and a double-byte lead byte; also texts around the token limit.
inline constexpr const char* kFragments[] = {"{",           "}",           "=",    "'",       "''", "%",    "%%",
                                             "%MODULE%",    "%Undefined%", "\\",   " ",       "\t", "\r\n", "NoRemove",
                                             "ForceRemove", "Delete",      "Val",  "s",       "d",  "b",    "HKCU",
                                             "HKLM",        "CLSID",       "\xE9", "\x81\x40"};

struct GeneratedScript
{
    std::string text;
    // The hive blocks before the faulty one, alone: what a failed registration must leave.
    std::string survivingPrefix;
    bool usesNoRemove = false;
};

class ScriptGenerator
{
public:
    explicit ScriptGenerator(uint32_t seed) : m_random(seed) {}

    // One to three hive blocks that register with S_OK.
    GeneratedScript WellFormed()
    {
        GeneratedScript script;
        script.text = Chance(30) ? Blank() : "";
        for (size_t blocks = 1 + Below(3); blocks > 0; --blocks)
            script.text += HiveBlock(Hive(nullptr).name, Entries(0, true, script.usesNoRemove)) + Blank();
        return script;
    }

    // Well-formed hive blocks and then one with a fault among its top-level entries, which fails
    // with DISP_E_EXCEPTION: a key name longer than the registry takes (Windows refuses 256
    // characters already, Wine from 257). The interpreter's tables (tests/registrar) hold every
    // syntax fault; here a failure meets generated blocks before it, in its own block and after it.
    GeneratedScript WithFault()
    {
        GeneratedScript script;
        const HiveName& faultyHive = Hive(nullptr);
        for (size_t blocks = Below(3); blocks > 0; --blocks)
            script.survivingPrefix +=
                HiveBlock(Hive(faultyHive.root).name, Entries(0, true, script.usesNoRemove)) + Blank();
        bool unused = false;
        std::string entries = Chance(70) ? Entries(0, false, unused) : "";
        entries += Blank() + std::string(257 + Below(50), 'k');
        entries += Chance(50) ? Entries(0, false, unused) : "";
        script.text = script.survivingPrefix + HiveBlock(faultyHive.name, Blank() + entries);
        return script;
    }

    // One to four byte-level mutations of the text.
    std::string Mutate(std::string text)
    {
        static const size_t longFragments[] = {4094, 4095, 5000, 300};
        for (size_t count = 1 + Below(4); count > 0; --count)
        {
            const size_t at = Below(text.size() + 1);
            const size_t pick = Below(std::size(kFragments) + std::size(longFragments));
            const std::string fragment = pick < std::size(kFragments)
                                             ? kFragments[pick]
                                             : std::string(longFragments[pick - std::size(kFragments)], 'x');
            const size_t operation = Below(5);
            if (operation == 0 && at < text.size())
                text[at] = static_cast<char>(Below(256));
            else if (operation == 1)
                text.insert(at, fragment);
            else if (operation == 2)
                text.erase(at, 1 + Below(8));
            else if (operation == 3)
                text.insert(Below(text.size() + 1), text.substr(at, 1 + Below(64)));
            else if (operation == 4)
                text.resize(at);
        }
        return text;
    }

private:
    // Which variable references a token may end with.
    static constexpr int kNoReferences = 0, kNoPathReferences = 1, kAnyReferences = 2;

    bool Chance(int percent) { return Below(100) < static_cast<size_t>(percent); }
    size_t Below(size_t bound) { return std::uniform_int_distribution<size_t>(0, bound - 1)(m_random); }
    template <typename Row, size_t count> const Row& Pick(const Row (&rows)[count]) { return rows[Below(count)]; }
    std::string Blank() { return Pick(kBlanks); }
    char NameCharacter() { return kNameCharacters[Below(sizeof kNameCharacters - 1)]; }
    // A keyword as written, in lower case, or quoted: each is the same keyword.
    std::string Keyword(const char* keyword)
    {
        const std::string blank = Blank();
        std::string text = keyword;
        const size_t choice = Below(3);
        for (char& c : text)
            c = choice == 1 ? static_cast<char>(c | 0x20) : c;
        return (choice == 2 ? "'" + text + "'" : text) + blank;
    }

    // The text as one script token: quoted where it must be (and sometimes where it need not be),
    // "%" and quotes escaped, and sometimes a variable reference appended.
    std::string Token(const std::string& text, int references, bool forceQuotes = false)
    {
        const bool quoted = forceQuotes || text.empty() || text[0] == '\'' || Chance(30) ||
                            text.find_first_of(" \t\r\n") != std::string::npos;
        std::string token = quoted ? "'" : "";
        for (char c : text)
            token += c == '%' ? "%%" : quoted && c == '\'' ? "''" : std::string(1, c);
        if (references != kNoReferences && Chance(15))
        {
            const FuzzVariable& variable = Pick(kVariables);
            const bool isPath = std::wcschr(variable.value, L'\\') != nullptr;
            const bool fitsUnquoted = !std::wcspbrk(variable.value, L" '"); // expands to no blank and no quote
            if ((quoted || fitsUnquoted) && !(isPath && references == kNoPathReferences))
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
    std::string Name(bool keyName)
    {
        if (Chance(3))
            return Token(std::string(keyName ? 255 : 259, keyName ? 'k' : 'v'), kNoReferences);
        std::string name;
        for (size_t length = (keyName ? 1 : 0) + Below(12); name.size() < length;)
            name += NameCharacter();
        while (!name.empty() && (name[0] == '}' || name[0] == '='))
            name[0] = 'n';
        for (const char* keyword : kKeywords)
            name += ::lstrcmpiA(name.c_str(), keyword) == 0 ? "x" : "";
        if (name == "{")
            name = "{x";
        // A key name cannot hold the path that Module expands to; a value name can.
        return Token(name, keyName ? kNoPathReferences : kAnyReferences);
    }

    std::string Assignment()
    {
        static const char* const types[] = {"s", "S", "d", "D", "b", "B"};
        const std::string type = std::string(" = ") + Pick(types);
        const char kind = static_cast<char>(type.back() | 0x20);
        std::string value;
        if (kind == 's' && Chance(2))
            return type + " " + Token(std::string(4094, 'v'), kNoReferences, true);
        for (size_t i = kind == 's' ? Below(20) : 0; i > 0; --i)
            value += NameCharacter();
        if (kind == 's')
            return type + Blank() + Token(value, kAnyReferences);
        if (kind == 'd')
            value = std::to_string(Chance(10) ? 4294967295u : static_cast<uint32_t>(m_random()));
        for (size_t i = kind == 'b' ? 2 * Below(9) : 0; i > 0; --i)
            value += "0123456789abcdefABCDEFzq"[Below(24)];
        return type + Blank() + Token(value, kNoReferences);
    }

    std::string Entries(int depth, bool allowNoRemove, bool& usesNoRemove)
    {
        std::string text;
        for (size_t count = 1 + Below(depth == 0 ? 6 : 3); count > 0; --count)
        {
            text += Blank();
            const size_t kind = Below(100);
            if (allowNoRemove && Chance(8))
            {
                text += Keyword("NoRemove");
                usesNoRemove = true;
            }
            if (kind < 20)
                text += Keyword("Val") + Name(false) + Assignment();
            else if (kind < 30)
                text += Keyword("Delete") + Name(true) + (Chance(30) ? Assignment() : "");
            else
            {
                text += Chance(15) ? Keyword("ForceRemove") : "";
                text += Name(true);
                text += Chance(40) ? Assignment() : "";
                if (depth < 4 && Chance(45))
                    text += Blank() + "{" + (Chance(10) ? "" : Entries(depth + 1, allowNoRemove, usesNoRemove)) +
                            Blank() + "}";
            }
        }
        return text;
    }

    std::string HiveBlock(const std::string& hive, const std::string& entries)
    {
        return hive + Blank() + "{" + entries + Blank() + "}";
    }

    const HiveName& Hive(HKEY differentFrom)
    {
        const HiveName* hive = nullptr;
        do
            hive = &Pick(kHives);
        while (hive->root == differentFrom);
        return *hive;
    }

    std::mt19937 m_random;
};

} // namespace VrkFuzz
