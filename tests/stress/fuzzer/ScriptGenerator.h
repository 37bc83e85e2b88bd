// ScriptGenerator.h: registration scripts made up from a seed: well-formed ones, ones with a
// single fault whose result the interpreter documents, and byte-level mutations of real ones.
// The same seed always gives the same script.
#pragma once

#include <windows.h>

#include <cstdint>
#include <random>
#include <string>

namespace VrkFuzz
{

// Variables the fuzzer's registrar defines, so that references to them expand.
struct FuzzVariable
{
    const wchar_t* name;
    const wchar_t* value;
    bool fitsUnquoted; // expands to no blank and no quote
};
extern const FuzzVariable kVariables[];
extern const size_t kVariableCount;

// Hive names a script may use, in every spelling; each resolves to one of the redirected roots.
struct HiveName
{
    const char* name;
    HKEY root;
};
extern const HiveName kHiveNames[];
extern const size_t kHiveNameCount;

struct GeneratedScript
{
    std::string text;
    HRESULT expected = S_OK;
    // The hive blocks before the faulty one, alone: what a failed registration must leave.
    std::string survivingPrefix;
    bool usesNoRemove = false;
};

class ScriptGenerator
{
public:
    explicit ScriptGenerator(uint32_t seed) : m_random(seed) {}

    // One to three hive blocks that register with S_OK.
    GeneratedScript WellFormed();
    // Well-formed hive blocks and then one with a fault among its top-level entries (or a bad
    // variable reference anywhere); expected is the documented failure.
    GeneratedScript WithFault();
    // One to four byte-level mutations of the text.
    std::string Mutate(std::string text);

private:
    bool Chance(int percent) { return Below(100) < static_cast<size_t>(percent); }
    size_t Below(size_t bound) { return std::uniform_int_distribution<size_t>(0, bound - 1)(m_random); }
    std::string Blank();
    enum class References
    {
        None,
        NoPaths,
        Any
    };
    std::string Token(const std::string& text, References references, bool forceQuotes = false);
    std::string Name(bool keyName);
    std::string Assignment();
    std::string Entries(int depth, bool allowNoRemove, bool& usesNoRemove);
    std::string HiveBlock(const std::string& hive, const std::string& entries);
    std::string FaultyEntry(HRESULT& expected);
    const HiveName& PickHive(HKEY differentFrom);

    std::mt19937 m_random;
};

} // namespace VrkFuzz
