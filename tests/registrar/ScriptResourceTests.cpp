// Tests of running a module's "REGISTRY" resource: the module path variable, extra variables and
// the failures of loading. The scripts are in this program's resources (ScriptResources.rc).
#include "registrar/Registrar.h"
#include "support/TestSupport.h"

#include <string>

using namespace Veyrak;

namespace
{

constexpr UINT kModuleScript = 101;
constexpr UINT kGreetingScript = 102;
// Followed by a zero byte and then text that is no script.
constexpr UINT kTerminatedScript = 103;
const char kResourceKey[] = "Software\\VrkTests\\ScriptResource";

std::string ModulePath(HMODULE module)
{
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(module, path, MAX_PATH);
    return path;
}

class ScriptResource : public ::testing::Test
{
protected:
    void SetUp() override { VrkTest::DeleteTree(HKEY_CURRENT_USER, kResourceKey); }
    void TearDown() override { VrkTest::DeleteTree(HKEY_CURRENT_USER, kResourceKey); }
};

TEST_F(ScriptResource, Executable_RegistersItsShortPathAndUnregistersIt)
{
    HMODULE program = ::GetModuleHandleA(nullptr);
    const std::string longPath = ModulePath(program);
    char shortPath[MAX_PATH] = {};
    ASSERT_NE(0u, ::GetShortPathNameA(longPath.c_str(), shortPath, MAX_PATH));

    EXPECT_HR(S_OK, UpdateRegistryFromScript(program, kModuleScript, TRUE, nullptr));
    EXPECT_EQ(shortPath, VrkTest::ReadString(HKEY_CURRENT_USER, kResourceKey, "Module"));

    // No instance handle means the executable too.
    EXPECT_HR(S_OK, UpdateRegistryFromScript(nullptr, kModuleScript, FALSE, nullptr));
    EXPECT_FALSE(VrkTest::KeyExists(HKEY_CURRENT_USER, kResourceKey));
}

TEST_F(ScriptResource, DllAtAPathWithAQuote_RegistersItsLongPathWhole)
{
    char temp[MAX_PATH] = {};
    ASSERT_NE(0u, ::GetTempPathA(MAX_PATH, temp));
    const std::string directory = std::string(temp) + "Vrk's scripts";
    const std::string copy = directory + "\\ScriptModule.dll";
    ::CreateDirectoryA(directory.c_str(), nullptr);
    ASSERT_TRUE(
        ::CopyFileA((VrkTest::ProgramDirectory() + "registrar_script_module.dll").c_str(), copy.c_str(), FALSE));
    HMODULE module = ::LoadLibraryA(copy.c_str());
    ASSERT_NE(nullptr, module);
    const std::string loadedPath = ModulePath(module);

    EXPECT_HR(S_OK, UpdateRegistryFromScript(module, kModuleScript, TRUE, nullptr));
    EXPECT_EQ(loadedPath, VrkTest::ReadString(HKEY_CURRENT_USER, kResourceKey, "Module"));
    EXPECT_NE(std::string::npos, loadedPath.find("Vrk's scripts\\ScriptModule.dll"));

    ::FreeLibrary(module);
    ::DeleteFileA(copy.c_str());
    ::RemoveDirectoryA(directory.c_str());
}

TEST_F(ScriptResource, ExtraVariables_AreExpandedAndMissingOnesFail)
{
    HMODULE program = ::GetModuleHandleA(nullptr);
    const RegistrarVariable extras[] = {{L"Greeting", L"Hello"}, {L"Greeting", L"Ignored"}, {nullptr, L"end"}};

    EXPECT_HR(DISP_E_EXCEPTION, UpdateRegistryFromScript(program, kGreetingScript, TRUE, nullptr));
    EXPECT_FALSE(VrkTest::KeyExists(HKEY_CURRENT_USER, kResourceKey));

    EXPECT_HR(S_OK, UpdateRegistryFromScript(program, kGreetingScript, TRUE, extras));
    EXPECT_EQ("Hello, 100%", VrkTest::ReadString(HKEY_CURRENT_USER, kResourceKey));
}

TEST_F(ScriptResource, ZeroByteInsideTheResource_EndsTheScript)
{
    EXPECT_HR(S_OK, UpdateRegistryFromScript(::GetModuleHandleA(nullptr), kTerminatedScript, TRUE, nullptr));
    EXPECT_EQ("terminated", VrkTest::ReadString(HKEY_CURRENT_USER, kResourceKey));
}

TEST_F(ScriptResource, MissingResourceOrFile_GivesTheLastErrorAsHResult)
{
    HMODULE program = ::GetModuleHandleA(nullptr);
    EXPECT_HR(HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND), UpdateRegistryFromScript(program, 999, TRUE, nullptr));

    const std::wstring path = VrkTest::Widen(ModulePath(program));
    Registrar registrar;
    EXPECT_HR(HRESULT_FROM_WIN32(ERROR_RESOURCE_TYPE_NOT_FOUND),
              registrar.RunScriptResource(path.c_str(), kModuleScript, L"NOSUCHTYPE", TRUE));

    const std::wstring missing = VrkTest::Widen(VrkTest::ProgramDirectory() + "no such module.dll");
    HRESULT hr = registrar.RunScriptResource(missing.c_str(), kModuleScript, L"REGISTRY", TRUE);
    EXPECT_TRUE(FAILED(hr)) << VrkTest::HResultText(hr);
    EXPECT_EQ(FACILITY_WIN32, HRESULT_FACILITY(hr)) << VrkTest::HResultText(hr);
    EXPECT_FALSE(VrkTest::KeyExists(HKEY_CURRENT_USER, kResourceKey));
}

} // namespace
