// SideBySideRegistration.cpp: what the other architecture's registration needs kept.
#include "server/SideBySideRegistration.h"

#include "Common/Utility/GuidText.h"
#include "Common/Utility/ModulePath.h"
#include "Common/Utility/TextConversion.h"
#include "Common/Utility/UniqueResource.h"
#include "server/ServerRegistration.h"

namespace Veyrak
{

namespace
{

constexpr DWORD kLongestValueName = 16384;
const char kMachineClasses[] = "SOFTWARE\\Classes";

// The string value of the machine's classes' path in view; empty when absent.
std::string ReadClassesString(const std::string& path, const char* name, REGSAM view)
{
    UniqueHkey key;
    const std::string machinePath = std::string(kMachineClasses) + "\\" + path;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, machinePath.c_str(), 0, KEY_QUERY_VALUE | view, key.put()) != ERROR_SUCCESS)
        return {};
    char value[MAX_PATH * 2] = {};
    DWORD size = sizeof value - 1, type = REG_NONE;
    if (::RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    return value;
}

bool CopyKey(HKEY parent, const std::string& name, RegistryKeyCopy& copy)
{
    UniqueHkey key;
    if (::RegOpenKeyExA(parent, name.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return false;
    copy.name = name;
    std::vector<char> text(kLongestValueName);
    for (DWORD index = 0;; ++index)
    {
        RegistryKeyCopy::Value value;
        DWORD nameLength = kLongestValueName, size = 0;
        if (::RegEnumValueA(key.get(), index, text.data(), &nameLength, nullptr, &value.type, nullptr, &size) !=
            ERROR_SUCCESS)
            break;
        value.name.assign(text.data(), nameLength);
        value.data.resize(size);
        if (::RegQueryValueExA(key.get(), value.name.c_str(), nullptr, &value.type, value.data.data(), &size) ==
            ERROR_SUCCESS)
        {
            value.data.resize(size);
            copy.values.push_back(std::move(value));
        }
    }
    for (DWORD index = 0;; ++index)
    {
        DWORD nameLength = kLongestValueName;
        if (::RegEnumKeyExA(key.get(), index, text.data(), &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        RegistryKeyCopy subkey;
        if (CopyKey(key.get(), std::string(text.data(), nameLength), subkey))
            copy.subkeys.push_back(std::move(subkey));
    }
    return true;
}

LSTATUS WriteKey(HKEY parent, const RegistryKeyCopy& copy)
{
    UniqueHkey key;
    LSTATUS status =
        ::RegCreateKeyExA(parent, copy.name.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    for (const RegistryKeyCopy::Value& value : copy.values)
    {
        status = ::RegSetValueExA(key.get(), value.name.c_str(), 0, value.type, value.data.data(),
                                  static_cast<DWORD>(value.data.size()));
        if (status != ERROR_SUCCESS)
            return status;
    }
    for (const RegistryKeyCopy& subkey : copy.subkeys)
    {
        status = WriteKey(key.get(), subkey);
        if (status != ERROR_SUCCESS)
            return status;
    }
    return ERROR_SUCCESS;
}

// "CLSID\{...}": a GUID's text is plain ASCII.
std::string ClassKeyPath(REFCLSID clsid)
{
    const std::wstring text = GuidText(clsid);
    return "CLSID\\" + std::string(text.begin(), text.end());
}

// The module's own file path; empty when it cannot be read whole.
std::string OwnPath(HINSTANCE module)
{
    char path[MAX_PATH];
    return SUCCEEDED(ModuleFilePath(module, path)) ? path : std::string();
}

} // namespace

REGSAM OtherRegistryView()
{
#ifdef _WIN64
    return KEY_WOW64_32KEY;
#else
    BOOL underWow64 = FALSE;
    return ::IsWow64Process(::GetCurrentProcess(), &underWow64) && underWow64 ? KEY_WOW64_64KEY : 0;
#endif
}

bool OtherArchitectureRegistration::IsThisProductsServer(HINSTANCE module, const std::string& server)
{
    FileIdentity identity;
    if (FAILED(m_verified.Verify(WidenAnsi(server.c_str()), identity)))
        return false;
    GUID own = GUID_NULL, other = GUID_NULL;
    return SUCCEEDED(ServerFileLibraryId(OwnPath(module).c_str(), own)) &&
           SUCCEEDED(ServerFileLibraryId(server.c_str(), other)) && ::IsEqualGUID(own, other);
}

void OtherArchitectureRegistration::Read(ServerModule& module, const char* const* progIds)
{
    const REGSAM otherView = OtherRegistryView();
    UniqueHkey classes;
    if (!otherView || ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMachineClasses, 0, KEY_READ, classes.put()) != ERROR_SUCCESS)
        return;
    const std::string ownPath = OwnPath(module.Instance());
    for (ObjectMapEntry* row = module.ObjectMap(); row && row->classId; ++row)
    {
        const std::string classKey = ClassKeyPath(*row->classId);
        const std::string server = ReadClassesString(classKey + "\\InprocServer32", nullptr, otherView);
        if (server.empty() || ::lstrcmpiA(server.c_str(), ownPath.c_str()) == 0 ||
            !IsThisProductsServer(module.Instance(), server))
            continue;
        if (m_serverPath.empty())
            m_serverPath = server;
        // The class key of either view names the ProgIDs; both views share their keys. Only the
        // class's own are kept: a name that the other view's class key gives is not trusted.
        for (const char* value : {"ProgID", "VersionIndependentProgID"})
        {
            const std::string progId = ReadClassesString(classKey + "\\" + value, nullptr, otherView);
            bool own = false;
            for (const char* const* name = progIds; name && *name; ++name)
                own = own || ::lstrcmpiA(progId.c_str(), *name) == 0;
            RegistryKeyCopy copy;
            if (own && CopyKey(classes.get(), progId, copy))
                m_sharedKeys.push_back(std::move(copy));
        }
    }
}

HRESULT OtherArchitectureRegistration::Restore() const
{
    if (!Found())
        return S_OK;
    HRESULT first = S_OK;
    UniqueHkey classes;
    LSTATUS status = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMachineClasses, 0, KEY_WRITE, classes.put());
    for (const RegistryKeyCopy& key : m_sharedKeys)
    {
        if (status == ERROR_SUCCESS)
            status = WriteKey(classes.get(), key);
        if (status != ERROR_SUCCESS && SUCCEEDED(first))
            first = HRESULT_FROM_WIN32(status);
    }
    const HRESULT typeLibrary = RegisterServerFileTypeLibrary(m_serverPath.c_str());
    return FAILED(first) ? first : typeLibrary;
}

} // namespace Veyrak
