// SimulatorRegistration.cpp: guarded registration of the substitute components.
#include "simulator/SimulatorRegistration.h"

#include "Common/Utility/GuidText.h"
#include "simulator/ComponentSupport.h"
#include "simulator/SimulatorRegistry.h"

#include <vector>

namespace Veyrak::Simulator
{

namespace
{

std::wstring ClassKeyPath(const CLSID& classId)
{
    return L"CLSID\\" + GuidText(classId);
}

// The default value of HKCR\<path>, environment references expanded; empty when absent.
std::wstring ReadServerPath(const std::wstring& path)
{
    UniqueHkey key;
    if (OpenKey(HKEY_CLASSES_ROOT, path, KEY_QUERY_VALUE, key) != ERROR_SUCCESS)
        return std::wstring();
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExW(key.get(), nullptr, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::wstring();
    std::vector<wchar_t> data(size / sizeof(wchar_t) + 1, L'\0');
    if (::RegQueryValueExW(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
        ERROR_SUCCESS)
        return std::wstring();
    std::wstring value(data.data());
    if (type == REG_EXPAND_SZ)
    {
        wchar_t expanded[MAX_PATH * 2];
        DWORD length = ::ExpandEnvironmentStringsW(value.c_str(), expanded, MAX_PATH * 2);
        if (length > 0 && length <= MAX_PATH * 2)
            value = expanded;
    }
    return value;
}

std::wstring NormalisedPath(std::wstring path)
{
    if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"')
        path = path.substr(1, path.size() - 2);
    wchar_t full[MAX_PATH * 2];
    DWORD length = ::GetFullPathNameW(path.c_str(), MAX_PATH * 2, full, nullptr);
    if (length > 0 && length < MAX_PATH * 2)
        path = full;
    wchar_t longForm[MAX_PATH * 2];
    length = ::GetLongPathNameW(path.c_str(), longForm, MAX_PATH * 2);
    if (length > 0 && length < MAX_PATH * 2)
        path = longForm;
    return path;
}

std::wstring ModulePath(HINSTANCE instance)
{
    wchar_t path[MAX_PATH * 2];
    DWORD length = ::GetModuleFileNameW(instance, path, MAX_PATH * 2);
    return std::wstring(path, length);
}

// Unregisters the rows from first up to (not including) end.
void UnregisterRows(const ObjectMapEntry* first, const ObjectMapEntry* end)
{
    for (const ObjectMapEntry* row = first; row != end; ++row)
        row->registrationHook(FALSE);
}

} // namespace

bool SameFile(const std::wstring& left, const std::wstring& right)
{
    return EqualNoCase(NormalisedPath(left), NormalisedPath(right));
}

ClassOwner FindClassOwner(const CLSID& classId, const std::wstring& modulePath)
{
    const std::wstring classKey = ClassKeyPath(classId);
    UniqueHkey localServer;
    if (OpenKey(HKEY_CLASSES_ROOT, classKey + L"\\LocalServer32", KEY_QUERY_VALUE, localServer) == ERROR_SUCCESS)
        return ClassOwner::AnotherFile;
    std::wstring server = ReadServerPath(classKey + L"\\InprocServer32");
    if (server.empty())
        return ClassOwner::Nobody;
    return SameFile(server, modulePath) ? ClassOwner::ThisModule : ClassOwner::AnotherFile;
}

HRESULT RegisterServer(const ServerModule& module)
{
    return GuardedResult(
        [&]
        {
            const std::wstring path = ModulePath(module.Instance());
            const ObjectMapEntry* rows = module.ObjectMap();
            for (const ObjectMapEntry* row = rows; row->classId; ++row)
            {
                if (FindClassOwner(*row->classId, path) == ClassOwner::AnotherFile)
                    return kRegisteredToAnotherFile;
            }
            for (const ObjectMapEntry* row = rows; row->classId; ++row)
            {
                HRESULT result = row->registrationHook(TRUE);
                if (FAILED(result))
                {
                    UnregisterRows(rows, row);
                    return result;
                }
            }
            return S_OK;
        });
}

HRESULT UnregisterServer(const ServerModule& module)
{
    return GuardedResult(
        [&]
        {
            const std::wstring path = ModulePath(module.Instance());
            HRESULT result = S_OK;
            for (const ObjectMapEntry* row = module.ObjectMap(); row->classId; ++row)
            {
                ClassOwner owner = FindClassOwner(*row->classId, path);
                if (owner == ClassOwner::AnotherFile)
                    result = kRegisteredToAnotherFile;
                else if (owner == ClassOwner::ThisModule)
                    row->registrationHook(FALSE);
            }
            return result;
        });
}

} // namespace Veyrak::Simulator
