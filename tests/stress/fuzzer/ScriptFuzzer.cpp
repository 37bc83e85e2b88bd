// ScriptFuzzer.cpp: runs generated and mutated registration scripts through the interpreter,
// with every registry root redirected into a sandbox, and checks each run in both directions.
//   script_fuzzer.exe [--cases N] [--seconds S] [--seed N] [gtest options]
// Case i of a test uses seed N + i and prints it before it runs, so that a case that hangs until
// the test's timeout is the last seed printed; "--seed <that> --cases 1" with the test's filter
// reproduces it, and a failing input is also kept as fuzz-<test>-<seed>.rgs in the working directory.
#include "ScriptGenerator.h"

#include "registrar/Registrar.h"
#include "registrar/ScriptParser.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>

using namespace VrkTest;
using namespace VrkFuzz;
using Tree = std::multiset<std::string>;

namespace
{

double g_cases = 2000, g_seconds = 15, g_seed = 1; // per test; --cases, --seconds and --seed change them

constexpr const char* kSandboxPath = "Software\\VrkFuzz";
const HKEY kRedirectedRoots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS,
                                 HKEY_CURRENT_CONFIG};

// The name of a root's key in the sandbox, and of its lines outside it.
std::string RootName(HKEY root)
{
    return std::to_string(reinterpret_cast<UINT_PTR>(root) & 0xF);
}

// The top two levels of every real root that scripts may name: a write that escaped the
// redirection lands there. The sandbox itself and Wine's network adapter list, which its
// services rewrite at any time, are left out.
Tree OutsideSandbox()
{
    Tree lines;
    for (HKEY root : kRedirectedRoots)
    {
        for (const std::string& line : RegistryTree(root, "", 2))
        {
            if (line.find("VrkFuzz") == std::string::npos && line.find("NetworkCards") == std::string::npos)
                lines.insert(RootName(root) + ">" + line);
        }
    }
    return lines;
}

// Redirects every root that scripts may name into a fresh key of its own under the sandbox.
class ScriptFuzzer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_CURRENT_USER, kSandboxPath, 0, nullptr, 0, KEY_ALL_ACCESS,
                                                   nullptr, m_sandbox.put(), nullptr));
        m_outsideBefore = OutsideSandbox();
        for (const FuzzVariable& variable : kVariables)
            ASSERT_HR(S_OK, m_registrar.AddVariable(variable.name, variable.value));
    }

    void TearDown() override
    {
        for (HKEY root : kRedirectedRoots)
            ::RegOverridePredefKey(root, nullptr);
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kSandboxPath);
        EXPECT_EQ(m_outsideBefore, OutsideSandbox()) << "a script wrote outside the sandbox";
        std::printf("\n%u cases in %.1f s: %.0f cases per second\n", m_cases, m_elapsed, m_cases / m_elapsed);
    }

    // Empties the sandbox and points every root at its own empty key in it again.
    void ResetSandbox()
    {
        ::RegDeleteTreeA(m_sandbox.get(), nullptr);
        for (HKEY root : kRedirectedRoots)
        {
            Veyrak::UniqueHkey target;
            ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(m_sandbox.get(), RootName(root).c_str(), 0, nullptr, 0,
                                                       KEY_ALL_ACCESS, nullptr, target.put(), nullptr));
            ASSERT_EQ(ERROR_SUCCESS, ::RegOverridePredefKey(root, target.get()));
        }
    }

    Tree Sandbox() const { return RegistryTree(m_sandbox.get(), ""); }
    static bool IsDocumented(HRESULT result)
    {
        return result == S_OK || result == DISP_E_EXCEPTION || result == E_FAIL || result == E_OUTOFMEMORY;
    }
    static bool Includes(const Tree& whole, const Tree& part)
    {
        return std::includes(whole.begin(), whole.end(), part.begin(), part.end());
    }
    HRESULT Run(const std::string& text, bool doRegister)
    {
        m_input = text;
        return Veyrak::ScriptParser(m_registrar).RunScript(text.c_str(), doRegister);
    }

    // Runs check(case seed) for each case within the options' bounds; stops at the first failure.
    template <typename Check> void ForEachCase(const char* test, Check check)
    {
        const auto start = std::chrono::steady_clock::now();
        const auto elapsed = [&]
        {
            return m_elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        };
        while (m_cases < g_cases && elapsed() <= g_seconds)
        {
            const uint32_t seed = static_cast<uint32_t>(g_seed) + m_cases++;
            std::printf("%u%c", seed, m_cases % 20 ? ' ' : '\n');
            std::fflush(stdout);
            ResetSandbox();
            check(seed);
            if (HasFailure())
            {
                const std::string file = "fuzz-" + std::string(test) + "-" + std::to_string(seed) + ".rgs";
                std::ofstream(file, std::ios::binary) << m_input;
                std::printf("\ninput kept as %s; reproduce with --seed %u --cases 1\n", file.c_str(), seed);
                break;
            }
        }
        elapsed();
    }

    Veyrak::Registrar m_registrar;
    Veyrak::UniqueHkey m_sandbox;
    Tree m_outsideBefore;
    std::string m_input; // the text of the case's last run
    uint32_t m_cases = 0;
    double m_elapsed = 0;
};

TEST_F(ScriptFuzzer, WellFormedScripts_RegisterAndUnregisterBackToAnEmptySandbox)
{
    ForEachCase("well-formed",
                [&](uint32_t seed)
                {
                    const GeneratedScript script = ScriptGenerator(seed).WellFormed();
                    const Tree empty = Sandbox();
                    ASSERT_HR(S_OK, Run(script.text, true));
                    const Tree registered = Sandbox();
                    ASSERT_HR(S_OK, Run(script.text, false));
                    if (script.usesNoRemove)
                        EXPECT_TRUE(Includes(registered, Sandbox()));
                    else
                        EXPECT_EQ(empty, Sandbox());
                });
}

TEST_F(ScriptFuzzer, OneFault_FailsAsDocumentedAndLeavesOnlyTheBlocksBeforeIt)
{
    ForEachCase("fault",
                [&](uint32_t seed)
                {
                    const GeneratedScript script = ScriptGenerator(seed).WithFault();
                    ASSERT_HR(S_OK, Run(script.survivingPrefix, true));
                    const Tree survivors = Sandbox();
                    ResetSandbox();
                    EXPECT_HR(DISP_E_EXCEPTION, Run(script.text, true));
                    EXPECT_EQ(survivors, Sandbox());
                });
}

TEST_F(ScriptFuzzer, MutatedScripts_EndAsDocumentedAndUnregisteringOnlyRemoves)
{
    std::vector<std::string> corpus;
    for (UINT id = 1; HRSRC found = ::FindResourceA(nullptr, MAKEINTRESOURCEA(id), "REGISTRY"); ++id)
        corpus.emplace_back(static_cast<const char*>(::LockResource(::LoadResource(nullptr, found))),
                            ::SizeofResource(nullptr, found));
    ASSERT_GE(corpus.size(), 5u);
    ForEachCase("mutated",
                [&](uint32_t seed)
                {
                    ScriptGenerator generator(seed);
                    const std::string text =
                        generator.Mutate(seed % 4 ? corpus[seed % corpus.size()] : generator.WellFormed().text);
                    const HRESULT registered = Run(text, true);
                    EXPECT_TRUE(IsDocumented(registered)) << HResultText(registered);
                    const Tree afterRegistering = Sandbox();
                    const HRESULT unregistered = Run(text, false);
                    EXPECT_TRUE(IsDocumented(unregistered)) << HResultText(unregistered);
                    EXPECT_TRUE(Includes(afterRegistering, Sandbox())) << "unregistering created or changed something";
                });
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i)
    {
        const std::string option = argv[i];
        double* value = option == "--cases"     ? &g_cases
                        : option == "--seconds" ? &g_seconds
                        : option == "--seed"    ? &g_seed
                                                : nullptr;
        if (!value || i + 1 >= argc)
        {
            std::fprintf(stderr, "unknown option %s\n", argv[i]);
            return 2;
        }
        *value = std::atof(argv[++i]);
    }
    return RUN_ALL_TESTS();
}
