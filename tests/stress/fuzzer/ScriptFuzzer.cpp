// ScriptFuzzer.cpp: generated and byte-mutated registration scripts through the interpreter, every registry
// root redirected into a sandbox. VRK_FUZZ_CASES cases (2000) for at most VRK_FUZZ_SECONDS (20); case i uses
// seed VRK_FUZZ_SEED + i (1 + i), printed before it runs: the last seed printed is the case that failed or hung.
#include "registrar/Registrar.h"
#include "registrar/ScriptParser.h"
#include "support/TestSupport.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>

using namespace Veyrak;
using namespace VrkTest;
using Tree = std::multiset<std::string>;

namespace
{

const HKEY kRoots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_CONFIG};
const char* const kHives[] = {"HKCR", "hkcu", "HKEY_LOCAL_MACHINE", "hkey_users", "HKCC"}; // as kRoots
const wchar_t* const kVariables[][2] = {
    {L"Umlaut", L"\u00dcml\u00e4ut"}, {L"Percent", L"50%"}, {L"Empty", L""}, {L"Module", L"C:\\It''s\\x.dll"}};
const char* const kBlanks[] = {" ", "\t", "\r\n", " \r\n\t"};
// Val, Delete and ForceRemove, each in another case and quoted or not: each is still the keyword.
const char* const kKeywords[] = {"VAL\t", "'delete'\r\n", "ForceRemove "};
// Names: quotes doubled, "%%", references in any case (none to the module's path, no key name can hold it),
// braces, "=", a vertical tab (no blank), letters above 127, the longest key name.
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

double Setting(const char* name, const char* otherwise)
{
    return std::atof(std::getenv(name) ? std::getenv(name) : otherwise);
}

// The top two levels of every real root, where a write that escaped would land; without the sandbox
// and Wine's network adapter list, which its services rewrite at any time.
Tree Outside()
{
    Tree lines;
    for (size_t root = 0; root < std::size(kRoots); ++root)
        for (const std::string& line : RegistryTree(kRoots[root], "", 2))
            if (line.find("VrkTests") == line.npos && line.find("NetworkCards") == line.npos)
                lines.insert(std::to_string(root) + ">" + line);
    return lines;
}

// Scripts from a seed: well-formed blocks of entries, and byte-level mutations of them.
struct Generator
{
    size_t Below(size_t bound) { return std::uniform_int_distribution<size_t>(0, bound - 1)(random); }
    template <typename Text, size_t count> std::string Pick(const Text (&texts)[count]) { return texts[Below(count)]; }
    std::string Entries(int depth) // values, deletions and keys, which may open a block of their own
    {
        std::string text;
        for (size_t count = 1 + Below(depth ? 3 : 6); count > 0; --count)
        {
            const size_t kind = Below(10); // Val, Delete, ForceRemove, or a plain key
            text += Pick(kBlanks) + (kind < 3 ? kKeywords[kind] : "") + Pick(kNames);
            text += kind == 0 || Below(2) ? " = " + Pick(kData) : "";
            if (kind > 1 && depth < 4 && Below(2))
                text += Pick(kBlanks) + "{" + (Below(10) ? Entries(depth + 1) : "") + Pick(kBlanks) + "}";
        }
        return text;
    }
    std::string Block() { return Pick(kHives) + Pick(kBlanks) + "{" + Entries(0) + Pick(kBlanks) + "}\n"; }
    std::string Mutate(std::string text) // one to four changes: an insertion (a fragment or any byte), a cut
    {
        for (size_t count = 1 + Below(4); count > 0; --count)
            if (const size_t at = Below(text.size() + 1); Below(2))
                text.insert(at, Below(3) ? Pick(kFragments) : std::string(1, static_cast<char>(Below(256))));
            else
                text.erase(at, Below(3) ? 1 + Below(8) : text.npos);
        return text;
    }

    std::mt19937 random;
};

// Every root redirected into the sandbox, until before the scratch key goes; then nothing outside may differ.
class ScriptFuzzer : public ScratchKeyTest
{
protected:
    void TearDown() override
    {
        for (HKEY root : kRoots)
            ::RegOverridePredefKey(root, nullptr);
        ScratchKeyTest::TearDown();
        EXPECT_EQ(m_outside, Outside()) << "a script wrote outside the sandbox";
    }
    HRESULT Run(const char* script, bool doRegister) { return ScriptParser(m_registrar).RunScript(script, doRegister); }
    Tree Sandbox() const { return RegistryTree(ScratchKey(), ""); }
    // Every root at an empty key of its own in the sandbox, made afresh: a script may delete even that.
    bool ResetSandbox()
    {
        bool redirected = ::RegDeleteTreeA(ScratchKey(), nullptr) == ERROR_SUCCESS;
        for (size_t root = 0; root < std::size(kRoots); ++root)
            redirected &= ::RegCreateKeyA(ScratchKey(), std::to_string(root).c_str(), m_root.put()) == ERROR_SUCCESS &&
                          ::RegOverridePredefKey(kRoots[root], m_root.get()) == ERROR_SUCCESS;
        return redirected;
    }

    const Tree m_outside = Outside();
    Registrar m_registrar;
    UniqueHkey m_root; // the last root's sandbox key
};

// One to three generated blocks register and unregister back to an empty sandbox; mutated, the
// script succeeds or fails with one of the interpreter's errors, registering and unregistering.
TEST_F(ScriptFuzzer, Scripts_RoundTrip_MutationsSucceedOrFailWithAnInterpreterError)
{
    for (const auto& [name, value] : kVariables)
        ASSERT_HR(S_OK, m_registrar.AddVariable(name, value));
    const auto end =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(Setting("VRK_FUZZ_SECONDS", "20"));
    const double first = Setting("VRK_FUZZ_SEED", "1"), last = first + Setting("VRK_FUZZ_CASES", "2000");
    for (uint32_t seed = uint32_t(first); seed < last && std::chrono::steady_clock::now() < end; ++seed)
    {
        std::printf("%u%c", seed, seed % 20 ? ' ' : '\n'), std::fflush(stdout);
        ASSERT_TRUE(ResetSandbox());
        Generator generator{std::mt19937(seed)};
        std::string text = generator.Block();
        for (size_t blocks = generator.Below(3); blocks > 0; --blocks)
            text += generator.Block();
        EXPECT_HR(S_OK, Run(text.c_str(), true));
        EXPECT_HR(S_OK, Run(text.c_str(), false));
        EXPECT_EQ(std::size(kRoots), Sandbox().size()) << "more than the empty roots left";
        const std::string mutated = generator.Mutate(text);
        for (const HRESULT hr : {Run(mutated.c_str(), true), Run(mutated.c_str(), false)})
            EXPECT_TRUE(hr == S_OK || hr == DISP_E_EXCEPTION || hr == E_FAIL || hr == E_OUTOFMEMORY) << HResultText(hr);
        if (HasFailure())
            break;
    }
}

} // namespace
