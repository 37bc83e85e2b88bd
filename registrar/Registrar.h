// Registrar.h: the entry points of the registration script interpreter and its variable map.
// The interpreter reports by HRESULT alone, throws nothing and keeps nothing between calls.
#pragma once

#include <windows.h>
#include <objbase.h>

namespace Veyrak
{

// One replacement variable for a script; a list of them ends with an entry whose name is null.
struct RegistrarVariable
{
    LPCOLESTR name;
    LPCOLESTR value;
};

// The variables that a script's "%name%" references expand to. Pairs are only appended: adding a
// name twice keeps both, and lookup finds the first. Memory comes from the COM task allocator.
// Not copyable; not shared between threads.
class Registrar
{
public:
    Registrar() = default;
    Registrar(const Registrar&) = delete;
    Registrar& operator=(const Registrar&) = delete;
    ~Registrar() { ClearVariables(); }

    // S_OK, E_INVALIDARG for a null name, or E_OUTOFMEMORY when a copy cannot be made.
    // A null value counts as empty.
    HRESULT AddVariable(LPCOLESTR name, LPCOLESTR value);
    void ClearVariables();
    // The value of the first variable whose name, in the ANSI code page, matches case-insensitively;
    // nullptr when none does, and when a name it must compare cannot be converted (out of memory).
    // The pointer lives until the variables are cleared.
    LPCOLESTR FindVariable(const char* name) const;

    // Loads the module file as data, finds the resource (integer id, string type) and runs it as a
    // script in the given direction. A file or resource that cannot be loaded gives
    // HRESULT_FROM_WIN32 of the platform's last error.
    HRESULT RunScriptResource(LPCOLESTR modulePath, UINT resourceId, LPCOLESTR resourceType, BOOL doRegister) const;

private:
    struct Variable
    {
        LPOLESTR name;
        LPOLESTR value;
    };

    HRESULT MakeRoom();

    Variable* m_variables = nullptr;
    size_t m_count = 0;
    size_t m_room = 0;
};

// Runs the module's "REGISTRY" resource in the given direction, with "Module" set to the module's
// file path (quotes doubled, so that '%MODULE%' is one quoted token) and then the extra variables
// (optional, ended by a null name).
HRESULT UpdateRegistryFromScript(HINSTANCE module, UINT resourceId, BOOL doRegister,
                                 const RegistrarVariable* extraVariables);

} // namespace Veyrak
