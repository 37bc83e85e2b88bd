// Tests of the variable map and of running a module's "REGISTRY" resource (ScriptResources.rc).
#include "registrar/Registrar.h"
#include "support/TestSupport.h"

#include <string>

using namespace Veyrak;
using namespace VrkTest;

namespace
{

constexpr UINT kModuleScript = 101;
constexpr UINT kTerminatedScript = 102;   // a zero byte, then text that is no script
constexpr UINT kUnterminatedScript = 103; // no zero byte, nor a line end after its last brace
const char kResourceKey[] = "Software\\VrkTests\\ScriptResource";
const RegistrarVariable kGreeting[] = {{L"Greeting", L"Hello"}, {L"Greeting", L"Ignored"}, {nullptr, L"end"}};

std::string ModulePath(HMODULE module)
{
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(module, path, MAX_PATH);
    return path;
}

std::string Registered(const char* name)
{
    return ReadString(HKEY_CURRENT_USER, kResourceKey, name);
}

// Pairs are appended, enough of them to grow the map past its second doubling, and the first match
// is found in any case; clearing forgets every name and leaves a map that grows again.
TEST(RegistrarVariables, PairsAreAppendedAndTheFirstMatchIsFoundInAnyCase_ClearingForgetsEveryName)
{
    Registrar registrar;
    EXPECT_EQ(nullptr, registrar.FindVariable("Name0"));
    for (int i = 0; i < 45; ++i)
        ASSERT_HR(S_OK, registrar.AddVariable((L"Name" + std::to_wstring(i)).c_str(),
                                              (L"Value" + std::to_wstring(i)).c_str()));
    EXPECT_HR(S_OK, registrar.AddVariable(L"NAME7", L"second"));
    for (int i = 0; i < 45; ++i)
        EXPECT_STREQ((L"Value" + std::to_wstring(i)).c_str(),
                     registrar.FindVariable(("nAME" + std::to_string(i)).c_str()));
    registrar.ClearVariables();
    for (const char* name : {"Name0", "Name44", "NAME7"})
        EXPECT_EQ(nullptr, registrar.FindVariable(name)) << name;
    EXPECT_HR(S_OK, registrar.AddVariable(L"Other", nullptr));
    EXPECT_STREQ(L"", registrar.FindVariable("other")) << "a null value is empty";
}

class ScriptResource : public ::testing::Test
{
protected:
    void SetUp() override { DeleteTree(HKEY_CURRENT_USER, kResourceKey); }
    void TearDown() override { DeleteTree(HKEY_CURRENT_USER, kResourceKey); }
};

// An executable registers its short path (also for no instance handle), a DLL its long path whole,
// though it holds a quote.
TEST_F(ScriptResource, Modules_RegisterTheirPathWithTheExtraVariables)
{
    HMODULE program = ::GetModuleHandleA(nullptr);
    const std::string longPath = ModulePath(program);
    char shortPath[MAX_PATH] = {};
    ASSERT_NE(0u, ::GetShortPathNameA(longPath.c_str(), shortPath, MAX_PATH));
    ASSERT_NE(longPath, shortPath);
    EXPECT_HR(DISP_E_EXCEPTION, UpdateRegistryFromScript(program, kModuleScript, TRUE, nullptr));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kResourceKey));
    EXPECT_HR(S_OK, UpdateRegistryFromScript(program, kModuleScript, TRUE, kGreeting));
    EXPECT_EQ(shortPath, Registered("Module"));
    EXPECT_EQ("Hello, 100%", Registered(""));
    EXPECT_HR(S_OK, UpdateRegistryFromScript(program, kModuleScript, FALSE, kGreeting));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kResourceKey));
    EXPECT_HR(S_OK, UpdateRegistryFromScript(nullptr, kModuleScript, TRUE, kGreeting));
    EXPECT_EQ(shortPath, Registered("Module"));

    char temp[MAX_PATH] = {};
    ASSERT_NE(0u, ::GetTempPathA(MAX_PATH, temp));
    const std::string directory = std::string(temp) + "Vrk's scripts", copy = directory + "\\ScriptModule.dll";
    ::CreateDirectoryA(directory.c_str(), nullptr);
    ASSERT_TRUE(::CopyFileA((ProgramDirectory() + "registrar_script_module.dll").c_str(), copy.c_str(), FALSE));
    HMODULE module = ::LoadLibraryA(copy.c_str());
    ASSERT_NE(nullptr, module);
    const std::string loadedPath = ModulePath(module);
    EXPECT_NE(std::string::npos, loadedPath.find("Vrk's scripts\\ScriptModule.dll"));
    EXPECT_HR(S_OK, UpdateRegistryFromScript(module, kModuleScript, TRUE, kGreeting));
    EXPECT_EQ(loadedPath, Registered("Module"));
    ::FreeLibrary(module);
    ::DeleteFileA(copy.c_str());
    ::RemoveDirectoryA(directory.c_str());
}

// A missing resource or file fails with the last error as HRESULT.
TEST_F(ScriptResource, TheResourceEndsTheScriptAtAZeroByteOrAtItsLastByte_AMissingOneFails)
{
    EXPECT_HR(S_OK, UpdateRegistryFromScript(::GetModuleHandleA(nullptr), kTerminatedScript, TRUE, nullptr));
    EXPECT_EQ("terminated", Registered(""));
    EXPECT_HR(S_OK, UpdateRegistryFromScript(::GetModuleHandleA(nullptr), kUnterminatedScript, TRUE, nullptr));
    EXPECT_EQ("ends at its brace", Registered(""));

    EXPECT_HR(HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND),
              UpdateRegistryFromScript(::GetModuleHandleA(nullptr), 999, TRUE, nullptr));
    Registrar registrar;
    EXPECT_HR(HRESULT_FROM_WIN32(ERROR_RESOURCE_TYPE_NOT_FOUND),
              registrar.RunScriptResource(Widen(ModulePath(nullptr)).c_str(), kModuleScript, L"NOSUCHTYPE", TRUE));
    // The platform's code for a missing file varies; any error code of its own will do.
    const HRESULT hr = registrar.RunScriptResource(Widen(ProgramDirectory() + "no such module.dll").c_str(),
                                                   kModuleScript, L"REGISTRY", TRUE);
    EXPECT_TRUE(FAILED(hr) && HRESULT_FACILITY(hr) == FACILITY_WIN32) << HResultText(hr);
}

} // namespace
