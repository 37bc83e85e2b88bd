// ScriptFuzzer.cpp: runs generated and mutated registration scripts through the interpreter,
// with every registry root redirected into a sandbox, and checks each run in both directions.
//   script_fuzzer.exe [--cases N] [--seconds S] [--seed N] [gtest options]
//   script_fuzzer.exe --replay FILE
// Case i of a test uses seed N + i; "--seed <that> --cases 1" with the test's filter reproduces
// it, and a failing input is also kept as fuzz-<test>-<seed>.rgs in the working directory.
#include "ScriptGenerator.h"

#include "registrar/Registrar.h"
#include "registrar/ScriptParser.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>

using namespace VrkTest;
using namespace VrkFuzz;

namespace
{

struct Options
{
    uint32_t cases = 2000;
    double seconds = 15;
    uint32_t seed = 1;
} g_options;

constexpr const char* kSandboxPath = "Software\\VrkFuzz";
constexpr DWORD kCaseDeadlineMs = 10000;

const HKEY kRedirectedRoots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS,
                                 HKEY_CURRENT_CONFIG};

// The case in progress, for the watchdog: a case that runs past its deadline is kept and ends
// the program, which its test runner reports as a failure.
std::atomic<DWORD> g_caseStarted{0};
std::atomic<bool> g_caseRunning{false};
std::string g_caseFile;
std::string g_caseText;

void KeepInput(const std::string& file, const std::string& text)
{
    std::ofstream(file, std::ios::binary) << text;
    std::printf("input kept as %s\n", file.c_str());
}

// Runs beside the cases of one test and is joined when they end, so that no thread of it is
// left to meet the end of the process.
void Watchdog(const std::atomic<bool>& stop)
{
    while (!stop)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (g_caseRunning && ::GetTickCount() - g_caseStarted > kCaseDeadlineMs)
        {
            std::printf("a case ran past its %lu ms deadline\n", kCaseDeadlineMs);
            KeepInput(g_caseFile, g_caseText);
            std::fflush(stdout);
            ::TerminateProcess(::GetCurrentProcess(), 3);
        }
    }
}

bool IsDocumentedResult(HRESULT result)
{
    return result == S_OK || result == DISP_E_EXCEPTION || result == E_FAIL || result == E_OUTOFMEMORY;
}

// The top two levels of every real root that scripts may name: a write that escaped the
// redirection lands there. The sandbox itself and Wine's network adapter list, which its
// services rewrite at any time, are left out.
std::multiset<std::string> OutsideSandbox()
{
    std::multiset<std::string> lines;
    for (HKEY root : kRedirectedRoots)
    {
        const std::string prefix = std::to_string(reinterpret_cast<UINT_PTR>(root) & 0xF) + ">";
        for (const std::string& line : RegistryTree(root, "", 2))
        {
            if (line.find("VrkFuzz") == std::string::npos && line.find("NetworkCards") == std::string::npos)
                lines.insert(prefix + line);
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
        for (const FuzzVariable& variable : std::vector<FuzzVariable>(kVariables, kVariables + kVariableCount))
            ASSERT_HR(S_OK, m_registrar.AddVariable(variable.name, variable.value));
    }

    void TearDown() override
    {
        for (HKEY root : kRedirectedRoots)
            ::RegOverridePredefKey(root, nullptr);
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kSandboxPath);
        EXPECT_EQ(m_outsideBefore, OutsideSandbox()) << "a script wrote outside the sandbox";
        std::printf("%u cases in %.1f s: %.0f cases per second\n", m_cases, m_elapsed, m_cases / m_elapsed);
    }

    // Empties the sandbox and points every root at its own empty key in it again.
    void ResetSandbox()
    {
        ::RegDeleteTreeA(m_sandbox.get(), nullptr);
        for (HKEY root : kRedirectedRoots)
        {
            Veyrak::UniqueHkey target;
            const std::string name = std::to_string(reinterpret_cast<UINT_PTR>(root) & 0xF);
            ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(m_sandbox.get(), name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                                       nullptr, target.put(), nullptr));
            ASSERT_EQ(ERROR_SUCCESS, ::RegOverridePredefKey(root, target.get()));
        }
    }

    std::multiset<std::string> Sandbox() const { return RegistryTree(m_sandbox.get(), ""); }

    HRESULT Run(const std::string& text, bool doRegister)
    {
        return Veyrak::ScriptParser(m_registrar).RunScript(text.c_str(), doRegister);
    }

    // Runs check(case seed) for each case within the options' bounds; stops at the first failure.
    template <typename Check> void ForEachCase(const char* test, Check check)
    {
        const auto start = std::chrono::steady_clock::now();
        std::atomic<bool> stop{false};
        std::thread watchdog(Watchdog, std::cref(stop));
        for (uint32_t i = 0; i < g_options.cases; ++i)
        {
            m_elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (m_elapsed > g_options.seconds)
                break;
            const uint32_t seed = g_options.seed + i;
            ResetSandbox();
            g_caseFile = "fuzz-" + std::string(test) + "-" + std::to_string(seed) + ".rgs";
            g_caseStarted = ::GetTickCount();
            g_caseRunning = true;
            check(seed);
            g_caseRunning = false;
            ++m_cases;
            if (HasFailure())
            {
                KeepInput(g_caseFile, g_caseText);
                std::printf("reproduce with --seed %u --cases 1\n", seed);
                break;
            }
        }
        stop = true;
        watchdog.join();
        m_elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }

    Veyrak::Registrar m_registrar;
    Veyrak::UniqueHkey m_sandbox;
    std::multiset<std::string> m_outsideBefore;
    uint32_t m_cases = 0;
    double m_elapsed = 0;
};

// Runs a kept input in both directions and prints what each left in the sandbox.
class Replay : public ScriptFuzzer
{
public:
    void TestBody() override {}
    int Run(const char* file)
    {
        std::ifstream stream(file, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
        SetUp();
        ResetSandbox();
        for (bool doRegister : {true, false})
        {
            std::printf("%s: %s\n", doRegister ? "register" : "unregister",
                        HResultText(ScriptFuzzer::Run(text, doRegister)).c_str());
            for (const std::string& line : Sandbox())
                std::printf("  %s\n", line.c_str());
        }
        TearDown();
        return 0;
    }
};

TEST_F(ScriptFuzzer, WellFormedScripts_RegisterAndUnregisterBackToAnEmptySandbox)
{
    ForEachCase("well-formed",
                [&](uint32_t seed)
                {
                    const GeneratedScript script = ScriptGenerator(seed).WellFormed();
                    const std::multiset<std::string> empty = Sandbox();
                    g_caseText = script.text;
                    ASSERT_HR(S_OK, Run(script.text, true));
                    const std::multiset<std::string> registered = Sandbox();
                    ASSERT_HR(S_OK, Run(script.text, false));
                    const std::multiset<std::string> unregistered = Sandbox();
                    if (script.usesNoRemove)
                        EXPECT_TRUE(std::includes(registered.begin(), registered.end(), unregistered.begin(),
                                                  unregistered.end()));
                    else
                        EXPECT_EQ(empty, unregistered);
                });
}

TEST_F(ScriptFuzzer, OneFault_FailsAsDocumentedAndLeavesOnlyTheBlocksBeforeIt)
{
    ForEachCase("fault",
                [&](uint32_t seed)
                {
                    const GeneratedScript script = ScriptGenerator(seed).WithFault();
                    g_caseText = script.survivingPrefix;
                    ASSERT_HR(S_OK, Run(script.survivingPrefix, true));
                    const std::multiset<std::string> survivors = Sandbox();
                    ResetSandbox();
                    g_caseText = script.text;
                    EXPECT_HR(script.expected, Run(script.text, true));
                    EXPECT_EQ(survivors, Sandbox());
                });
}

TEST_F(ScriptFuzzer, MutatedScripts_EndAsDocumentedAndUnregisteringOnlyRemoves)
{
    std::vector<std::string> corpus;
    for (UINT id = 1; HRSRC found = ::FindResourceA(nullptr, MAKEINTRESOURCEA(id), "REGISTRY"); ++id)
    {
        const char* data = static_cast<const char*>(::LockResource(::LoadResource(nullptr, found)));
        corpus.emplace_back(data, ::SizeofResource(nullptr, found));
    }
    ASSERT_GE(corpus.size(), 5u);
    ForEachCase("mutated",
                [&](uint32_t seed)
                {
                    ScriptGenerator generator(seed);
                    const std::string original = seed % 4 ? corpus[seed % corpus.size()] : generator.WellFormed().text;
                    g_caseText = generator.Mutate(original);
                    const HRESULT registered = Run(g_caseText, true);
                    EXPECT_TRUE(IsDocumentedResult(registered)) << HResultText(registered);
                    const std::multiset<std::string> afterRegistering = Sandbox();
                    const HRESULT unregistered = Run(g_caseText, false);
                    EXPECT_TRUE(IsDocumentedResult(unregistered)) << HResultText(unregistered);
                    const std::multiset<std::string> afterUnregistering = Sandbox();
                    EXPECT_TRUE(std::includes(afterRegistering.begin(), afterRegistering.end(),
                                              afterUnregistering.begin(), afterUnregistering.end()))
                        << "unregistering created or changed something";
                });
}

bool ReadOption(char** argv, int& i, int argc, const char* name, double& value)
{
    if (std::strcmp(argv[i], name) != 0 || i + 1 >= argc)
        return false;
    value = std::atof(argv[++i]);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i)
    {
        double value = 0;
        if (ReadOption(argv, i, argc, "--cases", value))
            g_options.cases = static_cast<uint32_t>(value);
        else if (ReadOption(argv, i, argc, "--seconds", value))
            g_options.seconds = value;
        else if (ReadOption(argv, i, argc, "--seed", value))
            g_options.seed = static_cast<uint32_t>(value);
        else if (std::strcmp(argv[i], "--replay") == 0 && i + 1 < argc)
            return Replay().Run(argv[i + 1]);
        else
        {
            std::fprintf(stderr, "unknown option %s\n", argv[i]);
            return 2;
        }
    }
    return RUN_ALL_TESTS();
}
