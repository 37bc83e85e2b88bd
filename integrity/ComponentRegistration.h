// ComponentRegistration.h: where one of the maker's classes is served from, as the machine
// registers it: HKEY_LOCAL_MACHINE\SOFTWARE\Classes in this process's own registry view, never
// the merged HKEY_CLASSES_ROOT, whose per-user entries any user may write.
#pragma once

#include "Common/Utility/UniqueResource.h"

#include <windows.h>

#include <string>

namespace Veyrak
{

struct ComponentRegistration
{
    bool registered = false;   // the class key exists
    bool redirected = false;   // a TreatAs key sends COM to another class
    std::wstring inprocServer; // InprocServer32's file, expanded where it is REG_EXPAND_SZ; empty without one
    bool inprocHandler = false;
    std::wstring localServer; // the program of LocalServer32's command line; empty without one
    bool otherServer = false; // an AppID that names a remote server, a surrogate or a service
};

// Reads the class's registration through the toolbox's registry classes. Nothing is written: a
// class key that is missing is found missing before a key object would create it. Throws the
// toolbox's exceptions when a key or value cannot be read.
ComponentRegistration ReadMachineRegistration(REFCLSID clsid);

// Whether the user's own classes (HKEY_CURRENT_USER\Software\Classes) register the class: COM
// prefers such an entry in the user's unelevated processes. Read only to warn or to refuse.
bool HasPerUserRegistration(REFCLSID clsid);

// The registry view of this process's architecture (KEY_WOW64_64KEY or KEY_WOW64_32KEY), named
// explicitly so that every read states which view it means.
REGSAM OwnRegistryView();

// Tells whether the machine's registration of a class changed since the watch started: any change
// of the class key or below it, its deletion included. Started before the registration is read, so
// that no change between the reading and the watching goes unseen. Move-only.
class RegistrationWatch
{
public:
    // The platform's failure where the class key cannot be watched (then nothing may be reused).
    HRESULT Start(REFCLSID clsid);
    // True once anything changed, and where the platform cannot tell (the watching thread ended).
    bool Changed() const;

private:
    UniqueHkey m_key;
    UniqueHandle m_event;
};

// The program that a command line starts: the quoted text, or the text up to the first blank.
std::wstring ProgramOfCommandLine(const std::wstring& commandLine);

} // namespace Veyrak
