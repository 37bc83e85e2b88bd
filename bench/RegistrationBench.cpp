// RegistrationBench.cpp: DllRegisterServer against the same registry entries written by hand
// with RegCreateKeyExA/RegSetValueExA plus the same type library registration (figure 5), and
// the registration script interpreter on scripts of 10, 100 and 1000 keys, whose time should
// grow in step with the number of keys.
#include "support/BenchSupport.h"

#include "Common/Utility/ComPtr.h"
#include "Common/Utility/Result.h"
#include "Common/Utility/TextConversion.h"
#include "Common/Utility/UniqueResource.h"
#include "registrar/Registrar.h"
#include "registrar/ScriptParser.h"

#include <oleauto.h>

#include <cstring>
#include <string>

using namespace Veyrak;

namespace VrkBench
{

namespace
{

constexpr char kClassName[] = "VRKsolutionAuthenticator Class";
constexpr char kClassId[] = "{5A486531-0201-43E0-BD81-D544BB08D0DC}";
constexpr char kTypeLibraryId[] = "{2C21A4B6-C51A-4990-B440-B0841534F73A}";
constexpr char kProgId[] = "Vrksolauth.VRKsolutionAuthenticator.1";
constexpr char kIndependentProgId[] = "Vrksolauth.VRKsolutionAuthenticator";

// Where the growth scripts write, below HKEY_CURRENT_USER; removed after each run.
constexpr char kGrowthParent[] = "Software\\VrkBench";
constexpr char kGrowthKey[] = "Software\\VrkBench\\Growth";

LONG WriteKey(const std::string& path, const char* valueName, const char* value)
{
    UniqueHkey key;
    LONG error = ::RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                   nullptr, key.put(), nullptr);
    if (error != ERROR_SUCCESS || !value)
        return error;
    return ::RegSetValueExA(key.get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                            static_cast<DWORD>(std::strlen(value) + 1));
}

// The entries of resources/vrksolauth.rgs, one call pair each, as a hand-written server writes them.
HRESULT RegisterByHand(const std::string& modulePath)
{
    const std::string classKey = std::string("CLSID\\") + kClassId;
    const struct
    {
        std::string path;
        const char* valueName;
        const char* value;
    } entries[] = {
        {kProgId, nullptr, kClassName},
        {std::string(kProgId) + "\\CLSID", nullptr, kClassId},
        {kIndependentProgId, nullptr, kClassName},
        {std::string(kIndependentProgId) + "\\CLSID", nullptr, kClassId},
        {std::string(kIndependentProgId) + "\\CurVer", nullptr, kProgId},
        {classKey, nullptr, kClassName},
        {classKey + "\\ProgID", nullptr, kProgId},
        {classKey + "\\VersionIndependentProgID", nullptr, kIndependentProgId},
        {classKey + "\\Programmable", nullptr, nullptr},
        {classKey + "\\InprocServer32", nullptr, modulePath.c_str()},
        {classKey + "\\InprocServer32", "ThreadingModel", "Both"},
        {classKey + "\\TypeLib", nullptr, kTypeLibraryId},
    };
    for (const auto& entry : entries)
    {
        LONG error = WriteKey(entry.path, entry.valueName, entry.value);
        if (error != ERROR_SUCCESS)
            return HRESULT_FROM_WIN32(error);
    }
    // The type library as the server registers it: loaded from the DLL, registered with its folder.
    std::wstring path = WidenAnsi(modulePath.c_str());
    ComPtr<ITypeLib> library;
    VRK_RETURN_IF_FAILED(::LoadTypeLib(path.c_str(), library.Put()));
    std::wstring helpDirectory = path.substr(0, path.find_last_of(L"\\/") + 1);
    return ::RegisterTypeLib(library.Get(), &path[0], &helpDirectory[0]);
}

void RegisterServer(benchmark::State& state)
{
    ServerLibrary server;
    if (FAILED(server.Result()))
        return FailBenchmark(state, "load vrksolauth.dll", server.Result());
    HRESULT result = S_OK;
    for (auto _ : state)
    {
        result = server.RegisterServer();
        benchmark::DoNotOptimize(result);
    }
    if (result != S_OK)
        FailBenchmark(state, "DllRegisterServer", result);
    server.UnregisterServer();
}

void RegisterServerByHand(benchmark::State& state)
{
    ServerLibrary server;
    if (FAILED(server.Result()))
        return FailBenchmark(state, "load vrksolauth.dll", server.Result());
    const std::string modulePath = server.Path();
    HRESULT result = S_OK;
    for (auto _ : state)
    {
        result = RegisterByHand(modulePath);
        benchmark::DoNotOptimize(result);
    }
    if (result != S_OK)
        FailBenchmark(state, "the registration by hand", result);
    server.UnregisterServer();
}

// HKCU { NoRemove Software { NoRemove VrkBench { Growth { Key0 = s 'Value 0' ... } } } }
std::string GrowthScript(int keys)
{
    std::string script = "HKCU\r\n{\r\n NoRemove Software\r\n {\r\n  NoRemove VrkBench\r\n  {\r\n   Growth\r\n   {\r\n";
    for (int index = 0; index < keys; ++index)
        script += "    Key" + std::to_string(index) + " = s 'Value " + std::to_string(index) + "'\r\n";
    return script + "   }\r\n  }\r\n }\r\n}\r\n";
}

void RunGrowthScript(benchmark::State& state)
{
    const int keys = static_cast<int>(state.range(0));
    const std::string script = GrowthScript(keys);
    Registrar registrar;
    HRESULT result = S_OK;
    for (auto _ : state)
    {
        result = ScriptParser(registrar).RunScript(script.c_str(), TRUE);
        benchmark::DoNotOptimize(result);
        state.PauseTiming();
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kGrowthKey);
        state.ResumeTiming();
    }
    ::RegDeleteKeyA(HKEY_CURRENT_USER, kGrowthParent);
    if (result != S_OK)
        return FailBenchmark(state, "RunScript", result);
    state.SetItemsProcessed(state.iterations() * keys);
}

} // namespace

BENCHMARK(RegisterServer)->Name("F5.DllRegisterServer.server")->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(RegisterServerByHand)->Name("F5.DllRegisterServer.peer")->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(RunGrowthScript)
    ->Name("F5.ScriptGrowth")
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

} // namespace VrkBench

VRK_BENCHMARK_MAIN()
