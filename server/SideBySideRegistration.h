// SideBySideRegistration.h: unregistering one architecture's server without breaking the other's.
//
// On 64-bit Windows a class can be registered twice, by the 32-bit and the 64-bit server: each
// class key lives in its own registry view, but the ProgID keys and the type library key are
// shared by both views, and unregistering a type library removes its interfaces' keys from both
// views. Plain unregistration of one server would so take the other's ProgIDs and the keys that
// marshal its interface. Unregistration therefore first reads whether the other view still
// registers a class of this module with a server file that is this product's own DLL, signed by
// one of the maker's publishers, and if so puts back what that server's own registration wrote to
// the shared keys: this class's ProgID keys, and its type library's registration, made again from
// its own file. Everything is read from the machine's classes (HKEY_LOCAL_MACHINE\SOFTWARE\Classes)
// of the view it belongs to, never from the merged HKEY_CLASSES_ROOT: what an administrator's
// unregistration writes back machine-wide must come from the machine's own registration.
#pragma once

#include "integrity/VerifiedFiles.h"
#include "server/ServerModule.h"

#include <windows.h>

#include <string>
#include <vector>

namespace Veyrak
{

// A registry key's values and subkeys, read into memory and written back.
struct RegistryKeyCopy
{
    struct Value
    {
        std::string name;
        DWORD type = REG_NONE;
        std::vector<BYTE> data;
    };
    std::string name;
    std::vector<Value> values;
    std::vector<RegistryKeyCopy> subkeys;
};

class OtherArchitectureRegistration
{
public:
    // Reads, before this module is unregistered, what the other architecture's registration of
    // its classes needs kept: the ProgID keys among progIds (the class's own, ended by a null)
    // that the other view's class names. Finds nothing where there is no other view (32-bit
    // Windows) or where the other view's server is not a verified file carrying this module's
    // type library. The verified file stays held, unchanged, until this object goes.
    void Read(ServerModule& module, const char* const* progIds);

    // Whether the other view registers one of the module's classes with this product's own DLL.
    bool Found() const { return !m_serverPath.empty(); }
    const std::string& ServerPath() const { return m_serverPath; }

    // Writes the kept keys back and registers the other server's type library again; does
    // nothing when nothing was found. Returns the first failure, having tried every step.
    HRESULT Restore() const;

private:
    bool IsThisProductsServer(HINSTANCE module, const std::string& server);

    VerifiedFiles m_verified;
    std::string m_serverPath;
    std::vector<RegistryKeyCopy> m_sharedKeys; // below HKEY_LOCAL_MACHINE\SOFTWARE\Classes
};

// The registry view of the other architecture (KEY_WOW64_32KEY or KEY_WOW64_64KEY), or 0 where
// a process of this architecture sees only one view.
REGSAM OtherRegistryView();

} // namespace Veyrak
