// Deployment.cpp: both registry views, and the surrogate for 64-bit clients.
#include "Deployment.h"

#include "Common/Utility/GuidText.h"
#include "Common/Utility/UniqueResource.h"

#include "vrksolauth.h"

#include <cstdio>

namespace Vrkauth
{

namespace
{

// The automation marshaler, which marshals an interface from its type library.
const char kTypeLibraryMarshaler[] = "{00020424-0000-0000-C000-000000000046}";
const char kInterfaceName[] = "IVRKsolutionAuthenticator1";
// Set on the AppID key when "surrogate on" made the interface key of the 64-bit view.
const char kInterfaceKeyAddedValue[] = "InterfaceKeyAddedByVrkauth";
// Every key here is the machine's, in the view named: COM reads AppID from the machine's classes
// only, and what an administrator writes for every user must not follow a user's own entries.
const char kMachineClasses[] = "SOFTWARE\\Classes\\";

std::string MachinePath(const std::string& path)
{
    return kMachineClasses + path;
}

std::string AnsiGuid(REFGUID guid)
{
    const std::wstring text = Veyrak::GuidText(guid);
    return std::string(text.begin(), text.end());
}

const std::string& ClassKey()
{
    static const std::string key = "CLSID\\" + AnsiGuid(CLSID_VRKsolutionAuthenticator);
    return key;
}

const std::string& InterfaceKey()
{
    static const std::string key = "Interface\\" + AnsiGuid(IID_IVRKsolutionAuthenticator1);
    return key;
}

const std::string& AppIdKey()
{
    static const std::string key = "AppID\\" + AnsiGuid(CLSID_VRKsolutionAuthenticator);
    return key;
}

bool MachineHas64BitView()
{
#ifdef _WIN64
    return true;
#else
    BOOL underWow64 = FALSE;
    return ::IsWow64Process(::GetCurrentProcess(), &underWow64) && underWow64;
#endif
}

REGSAM ViewFlag(bool is64Bit)
{
    return is64Bit ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
}

bool ReadString(const std::string& path, const char* name, REGSAM view, std::string& value)
{
    Veyrak::UniqueHkey key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, MachinePath(path).c_str(), 0, KEY_QUERY_VALUE | view, key.put()) !=
        ERROR_SUCCESS)
        return false;
    char text[MAX_PATH * 2] = {};
    DWORD size = sizeof text - 1, type = REG_NONE;
    if (::RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    value = text;
    return true;
}

bool KeyExists(const std::string& path, REGSAM view)
{
    Veyrak::UniqueHkey key;
    return ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, MachinePath(path).c_str(), 0, KEY_QUERY_VALUE | view, key.put()) ==
           ERROR_SUCCESS;
}

LSTATUS WriteString(const std::string& path, const char* name, const std::string& value, REGSAM view)
{
    Veyrak::UniqueHkey key;
    LSTATUS status = ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, MachinePath(path).c_str(), 0, nullptr, 0,
                                       KEY_SET_VALUE | view, nullptr, key.put(), nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    return ::RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>(value.size() + 1));
}

// Deletes a key with everything below it; a key that is already gone counts as deleted.
LSTATUS DeleteTree(const std::string& path, REGSAM view)
{
    {
        Veyrak::UniqueHkey key;
        LSTATUS status =
            ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, MachinePath(path).c_str(), 0, KEY_ALL_ACCESS | view, key.put());
        if (status == ERROR_FILE_NOT_FOUND)
            return ERROR_SUCCESS;
        if (status != ERROR_SUCCESS)
            return status;
        status = ::RegDeleteTreeA(key.get(), nullptr);
        if (status != ERROR_SUCCESS)
            return status;
    }
    return ::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, MachinePath(path).c_str(), view, 0);
}

ViewRegistration ReadView(bool is64Bit)
{
    const REGSAM view = ViewFlag(is64Bit);
    ViewRegistration registration;
    registration.is64Bit = is64Bit;
    registration.classRegistered = ReadString(ClassKey() + "\\InprocServer32", nullptr, view, registration.server);
    registration.serverExists =
        registration.classRegistered && ::GetFileAttributesA(registration.server.c_str()) != INVALID_FILE_ATTRIBUTES;
    std::string appId, surrogate;
    registration.surrogate =
        ReadString(ClassKey(), "AppID", view, appId) && ReadString("AppID\\" + appId, "DllSurrogate", view, surrogate);
    registration.interfaceRegistered = KeyExists(InterfaceKey() + "\\ProxyStubClsid32", view);
    return registration;
}

HRESULT Failed(std::string& message, const std::string& text, HRESULT result)
{
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
    message = text + " (HRESULT " + code + ")";
    return result;
}

} // namespace

std::vector<ViewRegistration> ReadViews()
{
    std::vector<ViewRegistration> views{ReadView(false)};
    if (MachineHas64BitView())
        views.push_back(ReadView(true));
    return views;
}

void PrintDeployment(const std::vector<ViewRegistration>& views)
{
    const ViewRegistration* view32 = &views[0];
    const ViewRegistration* view64 = views.size() > 1 ? &views[1] : nullptr;
    for (const ViewRegistration& view : views)
    {
        std::printf("%s view: ", view.is64Bit ? "64-bit" : "32-bit");
        if (!view.classRegistered)
            std::printf("server not registered");
        else
            std::printf("server %s (%s)", view.server.c_str(), view.serverExists ? "file exists" : "file missing");
        std::printf(", surrogate %s, interface %s\n", view.surrogate ? "on" : "off",
                    view.interfaceRegistered ? "registered" : "not registered");
    }
    const bool serves32 = view32->classRegistered && view32->serverExists;
    std::printf("a 32-bit client gets: %s\n", serves32 ? "the 32-bit server, in process" : "no server");
    if (!view64)
        return;
    const char* gets64 = "no server";
    if (view64->classRegistered && view64->serverExists)
        gets64 = "the 64-bit server, in process";
    else if (serves32 && view32->surrogate)
        gets64 = view64->interfaceRegistered ? "the 32-bit server, out of process in dllhost.exe"
                                             : "the 32-bit server, out of process in dllhost.exe, late-bound only "
                                               "(the interface is not registered in the 64-bit view)";
    else if (serves32)
        gets64 = "no server (the 32-bit server serves 64-bit clients once 'vrkauth surrogate on' ran)";
    std::printf("a 64-bit client gets: %s\n", gets64);
}

HRESULT EnableSurrogate(std::string& message)
{
    if (!MachineHas64BitView())
        return Failed(message, "this machine has no 64-bit clients to serve", E_FAIL);
    const ViewRegistration view32 = ReadView(false);
    if (!view32.classRegistered)
        return Failed(message, "the 32-bit server is not registered: register it first with the 32-bit regsvr32",
                      REGDB_E_CLASSNOTREG);
    const REGSAM view = ViewFlag(false), view64 = ViewFlag(true);
    const std::string appId = AnsiGuid(CLSID_VRKsolutionAuthenticator);
    std::string className = "VRKsolutionAuthenticator";
    ReadString(ClassKey(), nullptr, view, className);

    const bool addInterfaceKey = !KeyExists(InterfaceKey(), view64);
    LSTATUS status = WriteString(AppIdKey(), nullptr, className, view);
    if (status == ERROR_SUCCESS)
        status = WriteString(AppIdKey(), "DllSurrogate", "", view);
    if (status == ERROR_SUCCESS && addInterfaceKey)
    {
        const std::string libraryId = AnsiGuid(LIBID_VRKSOLAUTHLib);
        status = WriteString(InterfaceKey(), nullptr, kInterfaceName, view64);
        for (const char* stub : {"\\ProxyStubClsid", "\\ProxyStubClsid32"})
            if (status == ERROR_SUCCESS)
                status = WriteString(InterfaceKey() + stub, nullptr, kTypeLibraryMarshaler, view64);
        if (status == ERROR_SUCCESS)
            status = WriteString(InterfaceKey() + "\\TypeLib", nullptr, libraryId, view64);
        if (status == ERROR_SUCCESS)
            status = WriteString(InterfaceKey() + "\\TypeLib", "Version", "1.0", view64);
        if (status == ERROR_SUCCESS)
            status = WriteString(AppIdKey(), kInterfaceKeyAddedValue, "1", view);
    }
    // The class names its AppID last: until then no client is sent to the surrogate.
    if (status == ERROR_SUCCESS)
        status = WriteString(ClassKey(), "AppID", appId, view);
    if (status != ERROR_SUCCESS)
    {
        std::string ignored;
        DisableSurrogate(ignored);
        return Failed(message, "writing the surrogate's registry entries failed", HRESULT_FROM_WIN32(status));
    }
    message = "surrogate on: 64-bit clients create the 32-bit server in dllhost.exe";
    if (ReadView(true).classRegistered)
        message += " once the 64-bit server is unregistered (while it is registered, they load it in process)";
    return S_OK;
}

HRESULT DisableSurrogate(std::string& message)
{
    const REGSAM view = ViewFlag(false);
    LSTATUS status = ERROR_SUCCESS;
    {
        Veyrak::UniqueHkey key;
        if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, MachinePath(ClassKey()).c_str(), 0, KEY_SET_VALUE | view, key.put()) ==
            ERROR_SUCCESS)
        {
            status = ::RegDeleteValueA(key.get(), "AppID");
            if (status == ERROR_FILE_NOT_FOUND)
                status = ERROR_SUCCESS;
        }
    }
    std::string added;
    if (status == ERROR_SUCCESS && MachineHas64BitView() &&
        ReadString(AppIdKey(), kInterfaceKeyAddedValue, view, added) && !ReadView(true).classRegistered)
        status = DeleteTree(InterfaceKey(), ViewFlag(true));
    if (status == ERROR_SUCCESS)
        status = DeleteTree(AppIdKey(), view);
    if (status != ERROR_SUCCESS)
        return Failed(message, "removing the surrogate's registry entries failed", HRESULT_FROM_WIN32(status));
    message = "surrogate off: 64-bit clients no longer reach the 32-bit server";
    return S_OK;
}

} // namespace Vrkauth
