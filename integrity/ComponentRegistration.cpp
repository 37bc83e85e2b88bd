// ComponentRegistration.cpp: a class's registration in the machine's classes.
#include "integrity/ComponentRegistration.h"

#include "Common/Registry/RegEntry.h"
#include "Common/Registry/RegKey.h"
#include "Common/Utility/GuidText.h"
#include "Common/Utility/TextConversion.h"
#include "Common/Utility/UniqueResource.h"

#include <vector>

namespace Veyrak
{

namespace
{

const char kMachineClasses[] = "SOFTWARE\\Classes\\";

std::string AnsiGuid(REFGUID guid)
{
    const std::wstring text = GuidText(guid);
    return std::string(text.begin(), text.end());
}

// Asked with the platform's open, which never creates: a key object would create what it opens.
bool KeyExists(HKEY root, const std::string& path)
{
    UniqueHkey key;
    return ::RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE | OwnRegistryView(), key.put()) == ERROR_SUCCESS;
}

vrkstring Expanded(const vrkstring& text)
{
    const DWORD size = ::ExpandEnvironmentStringsA(text.c_str(), nullptr, 0);
    if (size == 0)
        return text;
    std::vector<char> expanded(size + 1);
    const DWORD written = ::ExpandEnvironmentStringsA(text.c_str(), expanded.data(), size + 1);
    return written == 0 || written > size + 1 ? text : vrkstring(expanded.data());
}

// A key's default value as text, as COM reads it: expanded only when stored as REG_EXPAND_SZ.
std::wstring DefaultText(const RegKey& key)
{
    const RegEntry entry(key, "");
    if (!entry.Exists())
        return std::wstring();
    vrkstring text;
    entry.GetValue(text);
    if (entry.GetType() == REG_EXPAND_SZ)
        text = Expanded(text);
    return WidenAnsi(text.c_str());
}

bool NamesOtherServer(const RegKey& classKey)
{
    const RegEntry appIdValue(classKey, "AppID");
    if (!appIdValue.Exists())
        return false;
    vrkstring appId;
    appIdValue.GetValue(appId);
    const std::string appIdPath = std::string(kMachineClasses) + "AppID\\" + appId;
    if (appId.empty() || !KeyExists(HKEY_LOCAL_MACHINE, appIdPath))
        return false;
    const RegKey appIdKey(RegHive::LocalMachine, appIdPath, RegSam::KeyRead | OwnRegistryView());
    for (const char* name : {"RemoteServerName", "DllSurrogate", "LocalService"})
        if (RegEntry(appIdKey, name).Exists())
            return true;
    return false;
}

std::string ClassKeyPath(REFCLSID clsid)
{
    return std::string(kMachineClasses) + "CLSID\\" + AnsiGuid(clsid);
}

} // namespace

HRESULT RegistrationWatch::Start(REFCLSID clsid)
{
    LSTATUS status = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, ClassKeyPath(clsid).c_str(), 0, KEY_NOTIFY | OwnRegistryView(),
                                     m_key.put());
    if (status != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(status);
    m_event.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!m_event)
        return HRESULT_FROM_WIN32(::GetLastError());
    constexpr DWORD kChanges = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;
    // Independent of the thread that asked, where the platform offers it; otherwise the end of that
    // thread signals the event, which merely has the registration read once more.
    status = ::RegNotifyChangeKeyValue(m_key.get(), TRUE, kChanges | REG_NOTIFY_THREAD_AGNOSTIC, m_event.get(), TRUE);
    if (status != ERROR_SUCCESS)
        status = ::RegNotifyChangeKeyValue(m_key.get(), TRUE, kChanges, m_event.get(), TRUE);
    return HRESULT_FROM_WIN32(status);
}

bool RegistrationWatch::Changed() const
{
    return !m_event || ::WaitForSingleObject(m_event.get(), 0) != WAIT_TIMEOUT;
}

REGSAM OwnRegistryView()
{
#ifdef _WIN64
    return KEY_WOW64_64KEY;
#else
    return KEY_WOW64_32KEY;
#endif
}

std::wstring ProgramOfCommandLine(const std::wstring& commandLine)
{
    const size_t start = commandLine.find_first_not_of(L" \t");
    if (start == std::wstring::npos)
        return std::wstring();
    if (commandLine[start] == L'"')
    {
        const size_t end = commandLine.find(L'"', start + 1);
        return commandLine.substr(start + 1, end == std::wstring::npos ? std::wstring::npos : end - start - 1);
    }
    const size_t end = commandLine.find_first_of(L" \t", start);
    return commandLine.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
}

ComponentRegistration ReadMachineRegistration(REFCLSID clsid)
{
    ComponentRegistration registration;
    const std::string classPath = ClassKeyPath(clsid);
    if (!KeyExists(HKEY_LOCAL_MACHINE, classPath))
        return registration;
    registration.registered = true;

    const RegKey classKey(RegHive::LocalMachine, classPath, RegSam::KeyRead | OwnRegistryView());
    std::vector<RegKey> subkeys;
    classKey.EnumerateKeys(subkeys);
    for (const RegKey& subkey : subkeys)
    {
        const char* name = subkey.GetName().c_str();
        if (::lstrcmpiA(name, "TreatAs") == 0)
            registration.redirected = true;
        else if (::lstrcmpiA(name, "InprocServer32") == 0)
            registration.inprocServer = DefaultText(subkey);
        else if (::lstrcmpiA(name, "InprocHandler32") == 0)
            registration.inprocHandler = true;
        else if (::lstrcmpiA(name, "LocalServer32") == 0)
            registration.localServer = ProgramOfCommandLine(DefaultText(subkey));
    }
    registration.otherServer = NamesOtherServer(classKey);
    return registration;
}

bool HasPerUserRegistration(REFCLSID clsid)
{
    return KeyExists(HKEY_CURRENT_USER, "Software\\Classes\\CLSID\\" + AnsiGuid(clsid));
}

} // namespace Veyrak
