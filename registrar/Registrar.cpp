// Registrar.cpp: the variable map, loading a script from a module's resources, and the entry
// point that registers or unregisters a module from its script.
#include "registrar/Registrar.h"

#include "Common/Utility/ModulePath.h"
#include "Common/Utility/Result.h"
#include "Common/Utility/UniqueResource.h"
#include "registrar/ScriptParser.h"
#include "Common/Utility/TextConversion.h"

#include <cstring>

namespace Veyrak
{

namespace
{

constexpr size_t kInitialRoom = 10;
constexpr DWORD kModulePathSize = MAX_PATH;
constexpr DWORD kShortPathFallback = 87;
const OLECHAR kRegistryResourceType[] = L"REGISTRY";
const OLECHAR kModuleVariable[] = L"Module";

LPOLESTR DuplicateWide(LPCOLESTR text)
{
    size_t bytes = (::lstrlenW(text) + 1) * sizeof(OLECHAR);
    auto* copy = static_cast<LPOLESTR>(::CoTaskMemAlloc(bytes));
    if (copy)
        std::memcpy(copy, text, bytes);
    return copy;
}

// Every single quote doubled, so that the value can stand inside a quoted token.
void DoubleQuotes(LPCOLESTR text, OLECHAR* out)
{
    for (; *text; ++text)
    {
        *out++ = *text;
        if (*text == L'\'')
            *out++ = L'\'';
    }
    *out = L'\0';
}

// The executable's path is handed to scripts in its short form; a DLL's stays long.
HRESULT ChooseModulePath(HINSTANCE module, char (&path)[kModulePathSize])
{
    VRK_RETURN_IF_FAILED(ModuleFilePath(module, path));
    if (module && module != ::GetModuleHandleA(nullptr))
        return S_OK;

    char shortPath[kModulePathSize];
    DWORD shortLength = ::GetShortPathNameA(path, shortPath, kModulePathSize);
    // At or above the buffer size nothing usable was written.
    if (shortLength >= kModulePathSize)
        return E_OUTOFMEMORY;
    if (shortLength == 0 || shortLength == kShortPathFallback)
        return S_OK;
    std::memcpy(path, shortPath, shortLength + 1);
    return S_OK;
}

} // namespace

HRESULT Registrar::MakeRoom()
{
    if (m_count < m_room)
        return S_OK;
    size_t room = m_room ? m_room * 2 : kInitialRoom;
    void* grown = ::CoTaskMemRealloc(m_variables, room * sizeof(Variable));
    if (!grown)
        return E_OUTOFMEMORY;
    m_variables = static_cast<Variable*>(grown);
    m_room = room;
    return S_OK;
}

HRESULT Registrar::AddVariable(LPCOLESTR name, LPCOLESTR value)
{
    if (!name)
        return E_INVALIDARG;
    VRK_RETURN_IF_FAILED(MakeRoom());
    LPOLESTR nameCopy = DuplicateWide(name);
    LPOLESTR valueCopy = DuplicateWide(value ? value : L"");
    if (!nameCopy || !valueCopy)
    {
        ::CoTaskMemFree(nameCopy);
        ::CoTaskMemFree(valueCopy);
        return E_OUTOFMEMORY;
    }
    m_variables[m_count++] = {nameCopy, valueCopy};
    return S_OK;
}

void Registrar::ClearVariables()
{
    for (size_t i = 0; i < m_count; ++i)
    {
        ::CoTaskMemFree(m_variables[i].name);
        ::CoTaskMemFree(m_variables[i].value);
    }
    ::CoTaskMemFree(m_variables);
    m_variables = nullptr;
    m_count = 0;
    m_room = 0;
}

LPCOLESTR Registrar::FindVariable(const char* name) const
{
    for (size_t i = 0; i < m_count; ++i)
    {
        UniqueTaskMemory ansiName;
        // Not skipped: a later match must not stand in for the first.
        if (FAILED(WideToAnsi(m_variables[i].name, ansiName)))
            return nullptr;
        if (::lstrcmpiA(static_cast<const char*>(ansiName.get()), name) == 0)
            return m_variables[i].value;
    }
    return nullptr;
}

HRESULT Registrar::RunScriptResource(LPCOLESTR modulePath, UINT resourceId, LPCOLESTR resourceType,
                                     BOOL doRegister) const
{
    UniqueTaskMemory ansiPath;
    UniqueTaskMemory ansiType;
    if (FAILED(WideToAnsi(modulePath, ansiPath)) || FAILED(WideToAnsi(resourceType, ansiType)))
        return LastErrorResult();

    // As a data file, so that none of the module's code runs.
    UniqueModule module(::LoadLibraryExA(static_cast<const char*>(ansiPath.get()), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module)
        return LastErrorResult();
    HRSRC resource =
        ::FindResourceA(module.get(), MAKEINTRESOURCEA(resourceId), static_cast<const char*>(ansiType.get()));
    if (!resource)
        return LastErrorResult();
    HGLOBAL loaded = ::LoadResource(module.get(), resource);
    if (!loaded)
        return LastErrorResult();
    DWORD size = ::SizeofResource(module.get(), resource);
    const char* data = static_cast<const char*>(::LockResource(loaded));
    if (!data)
        return LastErrorResult();

    // The script ends at its first zero byte or at the resource's end, whichever comes first;
    // nothing past the resource is ever read.
    UniqueTaskMemory terminatedCopy;
    if (!std::memchr(data, '\0', size))
    {
        terminatedCopy.reset(::CoTaskMemAlloc(size + 1));
        if (!terminatedCopy)
            return E_OUTOFMEMORY;
        char* copy = static_cast<char*>(terminatedCopy.get());
        std::memcpy(copy, data, size);
        copy[size] = '\0';
        data = copy;
    }
    return ScriptParser(*this).RunScript(data, doRegister);
}

HRESULT UpdateRegistryFromScript(HINSTANCE module, UINT resourceId, BOOL doRegister,
                                 const RegistrarVariable* extraVariables)
{
    Registrar registrar;
    char path[kModulePathSize];
    VRK_RETURN_IF_FAILED(ChooseModulePath(module, path));

    OLECHAR widePath[kModulePathSize];
    if (!WidenAnsiInto(path, widePath, kModulePathSize))
        return LastErrorResult();
    OLECHAR quotedPath[2 * kModulePathSize];
    DoubleQuotes(widePath, quotedPath);
    VRK_RETURN_IF_FAILED(registrar.AddVariable(kModuleVariable, quotedPath));
    for (const RegistrarVariable* extra = extraVariables; extra && extra->name; ++extra)
        registrar.AddVariable(extra->name, extra->value);

    return registrar.RunScriptResource(widePath, resourceId, kRegistryResourceType, doRegister);
}

} // namespace Veyrak
