// ScriptFuzzer.cpp: generated and byte-mutated registration scripts through the interpreter, every
// registry root redirected into a sandbox. It runs VRK_FUZZ_CASES cases (2000) for at most
// VRK_FUZZ_SECONDS (20); case i uses seed VRK_FUZZ_SEED + i (1 + i) and prints it before it runs, so
// that a case that hangs until the test's timeout is the last seed printed. A failing case's last
// script is kept as fuzz-<seed>.rgs in the working directory.
#include "registrar/Registrar.h"
#include "registrar/ScriptParser.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>

using namespace VrkTest;
using Tree = std::multiset<std::string>;

namespace
{

const HKEY kRoots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_CONFIG};
const char* const kHives[] = {"HKCR", "hkcu", "HKEY_LOCAL_MACHINE", "hkey_users", "HKCC"}; // as kRoots
const char* const kVariables[] = {"Umlaut", "Percent", "Empty", "Module"};
const wchar_t* const kValues[] = {L"\u00dcml\u00e4ut", L"50%", L"", L"C:\\It''s\\x.dll"}; // quotes doubled
const char* const kBlanks[] = {" ", "\t", "\r\n", "\n", " \r\n\t"};
// Names as written: quotes doubled, "%%", references in any case (no key name can hold the module
// path), braces, "=", a vertical tab (no blank), letters above 127, the longest key name.
const std::string kNames[] = {
    "a",         "'It''s'", "'a  b'", "100%%", "'%umlaut%'",   "'x%pErCeNt%'",       "'%EMPTY%e'",
    "{5A48-01}", "a=b",     "a'b",    "x\vy",  "\xC4\xE9\xDF", std::string(255, 'k')};
// Data of each type in any case: quotes, references, hex digits that are not, the longest quoted text.
const std::string kLongest = "s '" + std::string(4094, 'v') + "'";
const std::string kData[] = {"s 'text'", "S ''",   "s '%MODULE%'",   "s 'It''s %pErcent%%%'",
                             "s bare",   "d 42",   "D '4294967295'", "b 00ff",
                             "B ''",     "b g1Fz", kLongest};
// What a mutation inserts: syntax, keywords, a double-byte lead byte, a token of the longest size.
const std::string kFragments[] = {
    "{",        "}",      "=",   "'", "%%", "%MODULE%", "%No%", "\\",    " ",        "\r\n",
    "NoRemove", "Delete", "Val", "s", "d",  "b",        "HKLM", "CLSID", "\x81\x40", std::string(4095, 'x')};

double Setting(const char* name, double otherwise)
{
    const char* text = std::getenv(name);
    return text ? std::atof(text) : otherwise;
}

bool Includes(const Tree& whole, const Tree& part)
{
    return std::includes(whole.begin(), whole.end(), part.begin(), part.end());
}

// Scripts from a seed. Well-formed ones register with S_OK; a NoRemove among them sets keepsKeys.
struct Generator
{
    size_t Below(size_t bound) { return std::uniform_int_distribution<size_t>(0, bound - 1)(random); }
    bool Chance(size_t percent) { return Below(100) < percent; }
    template <typename Text, size_t count> std::string Pick(const Text (&texts)[count]) { return texts[Below(count)]; }
    std::string Keyword(std::string word) // in any case, at times quoted: each is the keyword
    {
        for (char& c : word)
            c = static_cast<char>(Chance(50) ? c : c ^ 0x20);
        return (Chance(30) ? "'" + word + "'" : word) + Pick(kBlanks);
    }
    std::string Entries(int depth, bool* keepsKeys) // NoRemove only where keepsKeys is given
    {
        std::string text;
        for (size_t count = 1 + Below(depth ? 3 : 6); count > 0; --count)
        {
            text += Pick(kBlanks);
            if (keepsKeys && Chance(8))
                text += Keyword("NoRemove"), *keepsKeys = true;
            const size_t kind = Below(10);
            text += kind < 2 ? Keyword("Val") : kind < 3 ? Keyword("Delete") : Chance(15) ? Keyword("ForceRemove") : "";
            text += Pick(kNames) + (Chance(kind < 2 ? 100 : 40) ? " = " + Pick(kData) : "");
            if (kind >= 3 && depth < 4 && Chance(45))
                text += Pick(kBlanks) + "{" + (Chance(10) ? "" : Entries(depth + 1, keepsKeys)) + Pick(kBlanks) + "}";
        }
        return text;
    }
    std::string Block(size_t root, const std::string& entries)
    {
        return kHives[root] + Pick(kBlanks) + "{" + entries + Pick(kBlanks) + "}" + Pick(kBlanks);
    }
    std::string WellFormed(size_t exceptRoot, bool& keepsKeys) // one to three blocks
    {
        std::string text;
        for (size_t blocks = 1 + Below(3); blocks > 0; --blocks)
            text += Block((exceptRoot + 1 + Below(4)) % 5, Entries(0, &keepsKeys));
        return text;
    }
    std::string Mutate(std::string text) // one to four byte-level changes
    {
        for (size_t count = 1 + Below(4); count > 0; --count)
        {
            const size_t at = Below(text.size() + 1), operation = Below(5);
            if (operation == 0 && at < text.size())
                text[at] = static_cast<char>(Below(256));
            else if (operation == 1)
                text.insert(at, Pick(kFragments));
            else if (operation == 2)
                text.insert(Below(text.size() + 1), text.substr(at, 1 + Below(64)));
            else
                text.erase(at, operation == 3 ? 1 + Below(8) : text.npos);
        }
        return text;
    }

    std::mt19937 random;
};

class ScriptFuzzer : public ScratchKeyTest
{
protected:
    void SetUp() override
    {
        ScratchKeyTest::SetUp();
        m_outside = Outside();
        for (size_t i = 0; i < std::size(kVariables); ++i)
            ASSERT_HR(S_OK, m_registrar.AddVariable(Widen(kVariables[i]).c_str(), kValues[i]));
    }
    void TearDown() override
    {
        for (HKEY root : kRoots)
            ::RegOverridePredefKey(root, nullptr);
        ScratchKeyTest::TearDown();
        EXPECT_EQ(m_outside, Outside()) << "a script wrote outside the sandbox";
    }
    // The top two levels of every real root, where a write that escaped would land; without the sandbox
    // and Wine's network adapter list, which its services rewrite at any time.
    static Tree Outside()
    {
        Tree lines;
        for (size_t root = 0; root < std::size(kRoots); ++root)
            for (const std::string& line : RegistryTree(kRoots[root], "", 2))
                if (line.find("VrkTests") == line.npos && line.find("NetworkCards") == line.npos)
                    lines.insert(std::to_string(root) + ">" + line);
        return lines;
    }
    Tree Sandbox() const { return RegistryTree(ScratchKey(), ""); }
    bool ResetSandbox() // every root at an empty key of its own in the sandbox
    {
        bool redirected = true;
        ::RegDeleteTreeA(ScratchKey(), nullptr);
        for (size_t root = 0; root < std::size(kRoots); ++root)
        {
            Veyrak::UniqueHkey key;
            redirected = redirected &&
                         ::RegCreateKeyExA(ScratchKey(), std::to_string(root).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                           nullptr, key.put(), nullptr) == ERROR_SUCCESS &&
                         ::RegOverridePredefKey(kRoots[root], key.get()) == ERROR_SUCCESS;
        }
        return redirected;
    }
    HRESULT Run(const std::string& text, bool doRegister)
    {
        return Veyrak::ScriptParser(m_registrar).RunScript((m_input = text).c_str(), doRegister);
    }

    Veyrak::Registrar m_registrar;
    Tree m_outside;
    std::string m_input; // the last script run
};

// A generated script unregisters back to an empty sandbox (NoRemove keys aside); after it, a block that
// fails takes back what it wrote and nothing else (its root is one the script does not use). Mutated, it ends in a
// documented result, and unregistering it only removes. Nothing escapes the sandbox.
TEST_F(ScriptFuzzer, Scripts_RoundTrip_AFailingBlockTakesBackOnlyItself_MutationsEndAsDocumented)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(Setting("VRK_FUZZ_SECONDS", 20));
    const double first = Setting("VRK_FUZZ_SEED", 1), last = first + Setting("VRK_FUZZ_CASES", 2000);
    for (uint32_t seed = uint32_t(first); seed < last && std::chrono::steady_clock::now() < end; ++seed)
    {
        std::printf("%u%c", seed, seed % 20 ? ' ' : '\n');
        std::fflush(stdout);
        Generator generator{std::mt19937(seed)};
        const size_t faultyRoot = generator.Below(5);
        bool keepsKeys = false;
        const std::string text = generator.WellFormed(faultyRoot, keepsKeys);
        ASSERT_TRUE(ResetSandbox());
        const Tree empty = Sandbox();
        EXPECT_HR(S_OK, Run(text, true));
        const Tree registered = Sandbox();
        EXPECT_HR(S_OK, Run(text, false));
        EXPECT_TRUE(keepsKeys ? Includes(registered, Sandbox()) : Sandbox() == empty);
        ASSERT_TRUE(ResetSandbox());
        // The last block fails at a key name longer than the registry takes (Windows refuses 256
        // characters, Wine from 257).
        const std::string longKey = generator.Entries(0, nullptr) + " " + std::string(257 + generator.Below(50), 'k');
        EXPECT_HR(DISP_E_EXCEPTION,
                  Run(text + generator.Block(faultyRoot, longKey + generator.Entries(0, nullptr)), true));
        EXPECT_EQ(registered, Sandbox());
        const std::string mutated = generator.Mutate(text);
        for (const bool doRegister : {true, false})
        {
            const Tree before = Sandbox();
            const HRESULT hr = Run(mutated, doRegister);
            EXPECT_TRUE(hr == S_OK || hr == DISP_E_EXCEPTION || hr == E_FAIL || hr == E_OUTOFMEMORY) << HResultText(hr);
            EXPECT_TRUE(doRegister || Includes(before, Sandbox())) << "unregistering created or changed something";
        }
        if (HasFailure())
        {
            std::ofstream("fuzz-" + std::to_string(seed) + ".rgs", std::ios::binary) << m_input;
            break;
        }
    }
}

} // namespace
