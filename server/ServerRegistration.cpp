// ServerRegistration.cpp: registration of the classes and of the type library.
#include "server/ServerRegistration.h"

#include "Common/Utility/ComPtr.h"
#include "Common/Utility/ModulePath.h"
#include "Common/Utility/Result.h"
#include "Common/Utility/TextConversion.h"
#include "Common/Utility/UniqueResource.h"

#include <oleauto.h>

#include <string>

namespace Veyrak
{

namespace
{

constexpr DWORD kModulePathLength = MAX_PATH; // 259 characters and the terminating zero
constexpr size_t kFallbackPathLength = MAX_PATH + 10;
constexpr char kTypeLibraryExtension[] = ".tlb";

// The path with its extension replaced by ".tlb" (appended when there is none). The scan
// steps by whole characters, so a dot inside a double-byte character is never taken.
std::string TypeLibraryFallbackPath(const char* modulePath)
{
    const char* lastDot = nullptr;
    for (const char* cursor = modulePath; *cursor; cursor = ::CharNextA(cursor))
    {
        if (*cursor == '.')
            lastDot = cursor;
    }
    std::string path = lastDot ? std::string(modulePath, lastDot) : std::string(modulePath);
    path += kTypeLibraryExtension;
    if (path.size() >= kFallbackPathLength)
        path.resize(kFallbackPathLength - 1);
    return path;
}

// The folder part of a path, up to and including its last "\", "/" or ":".
std::wstring HelpDirectory(const std::wstring& path)
{
    size_t cut = path.find_last_of(L"\\/:");
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut + 1);
}

// Loads the type library from a server file itself, or else from the file beside it with the
// extension ".tlb". On success *path holds the file that loaded (the caller frees it).
HRESULT LoadServerTypeLibrary(const char* serverPath, BSTR* path, ITypeLib** library)
{
    if (!path || !library)
        return E_POINTER;
    *path = nullptr;
    *library = nullptr;

    std::wstring loaded = WidenAnsi(serverPath);
    ComPtr<ITypeLib> loadedLibrary;
    HRESULT result = ::LoadTypeLib(loaded.c_str(), loadedLibrary.Put());
    if (FAILED(result))
    {
        loaded = WidenAnsi(TypeLibraryFallbackPath(serverPath).c_str());
        result = ::LoadTypeLib(loaded.c_str(), loadedLibrary.Put());
        if (FAILED(result))
            return result;
    }
    *path = ::SysAllocString(loaded.c_str());
    if (!*path)
        return E_OUTOFMEMORY;
    *library = loadedLibrary.Detach();
    return S_OK;
}

// The same for the module's own file.
HRESULT LocateAndLoadTypeLibrary(HINSTANCE module, BSTR* path, ITypeLib** library)
{
    char modulePath[kModulePathLength];
    VRK_RETURN_IF_FAILED(ModuleFilePath(module, modulePath));
    return LoadServerTypeLibrary(modulePath, path, library);
}

HRESULT RegisterLoadedTypeLibrary(HRESULT loadResult, const UniqueBstr& path, ITypeLib* library)
{
    VRK_RETURN_IF_FAILED(loadResult);
    std::wstring helpDirectory = HelpDirectory(path.get());
    return ::RegisterTypeLib(library, path.get(), &helpDirectory[0]);
}

} // namespace

HRESULT RegisterObjectMapClasses(ServerModule& module)
{
    for (ObjectMapEntry* row = module.ObjectMap(); row && row->classId; ++row)
    {
        if (!row->registrationHook)
            continue;
        VRK_RETURN_IF_FAILED(row->registrationHook(TRUE));
    }
    return S_OK;
}

void UnregisterObjectMapClasses(ServerModule& module)
{
    for (ObjectMapEntry* row = module.ObjectMap(); row && row->classId; ++row)
    {
        if (row->registrationHook)
            row->registrationHook(FALSE);
    }
}

HRESULT RegisterTypeLibrary(HINSTANCE module)
{
    UniqueBstr path;
    ComPtr<ITypeLib> library;
    HRESULT result = LocateAndLoadTypeLibrary(module, path.put(), library.Put());
    return RegisterLoadedTypeLibrary(result, path, library.Get());
}

HRESULT RegisterServerFileTypeLibrary(const char* serverPath)
{
    UniqueBstr path;
    ComPtr<ITypeLib> library;
    HRESULT result = LoadServerTypeLibrary(serverPath, path.put(), library.Put());
    return RegisterLoadedTypeLibrary(result, path, library.Get());
}

HRESULT ServerFileLibraryId(const char* serverPath, GUID& libraryId)
{
    UniqueBstr path;
    ComPtr<ITypeLib> library;
    VRK_RETURN_IF_FAILED(LoadServerTypeLibrary(serverPath, path.put(), library.Put()));
    TLIBATTR* attributes = nullptr;
    VRK_RETURN_IF_FAILED(library->GetLibAttr(&attributes));
    libraryId = attributes->guid;
    library->ReleaseTLibAttr(attributes);
    return S_OK;
}

HRESULT UnregisterTypeLibrary(HINSTANCE module)
{
    UniqueBstr path;
    ComPtr<ITypeLib> library;
    VRK_RETURN_IF_FAILED(LocateAndLoadTypeLibrary(module, path.put(), library.Put()));

    TLIBATTR* attributes = nullptr;
    if (SUCCEEDED(library->GetLibAttr(&attributes)) && attributes)
    {
        // Looked up at run time: older platforms lack the entry, and then nothing is unregistered.
        UniqueModule automation(::LoadLibraryA("oleaut32.dll"));
        using UnRegisterTypeLibFunction = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);
        auto unregister = automation ? reinterpret_cast<UnRegisterTypeLibFunction>(reinterpret_cast<void*>(
                                           ::GetProcAddress(automation.get(), "UnRegisterTypeLib")))
                                     : nullptr;
        if (unregister)
            unregister(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum, attributes->lcid,
                       attributes->syskind);
        library->ReleaseTLibAttr(attributes);
    }
    return S_OK;
}

} // namespace Veyrak
