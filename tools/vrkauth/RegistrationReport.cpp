// RegistrationReport.cpp: reads the entries that registration writes, one item each.
#include "RegistrationReport.h"

#include "ErrorReport.h"

#include "Common/Utility/ComPtr.h"
#include "Common/Utility/GuidText.h"
#include "Common/Utility/TextConversion.h"
#include "Common/Utility/UniqueResource.h"
#include "authenticator/ProductKey.h"

#include "vrksolauth.h"

#include <cstdio>

namespace Vrkauth
{

namespace
{

using Veyrak::GuidText;

const wchar_t kVersionedProgId[] = L"Vrksolauth.VRKsolutionAuthenticator.1";
const wchar_t kProgId[] = L"Vrksolauth.VRKsolutionAuthenticator";

// The string value of HKEY_CLASSES_ROOT\path (the default value for an empty name). The merged
// view on purpose: this reports what COM finds for the user who runs vrkauth.
bool ReadClassesString(const std::wstring& path, const wchar_t* name, std::wstring& value)
{
    Veyrak::UniqueHkey key;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExW(key.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    std::wstring buffer(size / sizeof(wchar_t) + 1, L'\0');
    if (::RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&buffer[0]), &size) !=
        ERROR_SUCCESS)
        return false;
    buffer.resize(size / sizeof(wchar_t));
    while (!buffer.empty() && buffer.back() == L'\0')
        buffer.pop_back();
    value = buffer;
    return true;
}

RegistrationItem Item(const std::wstring& label, bool present, const std::wstring& detail, bool required = true)
{
    return RegistrationItem{Narrow(label), present, required, Narrow(detail)};
}

RegistrationItem ProgIdItem(const std::wstring& progId, const std::wstring& classKeyText)
{
    std::wstring clsid;
    if (!ReadClassesString(progId + L"\\CLSID", L"", clsid))
        return Item(L"ProgID " + progId, false, L"not registered");
    if (_wcsicmp(clsid.c_str(), classKeyText.c_str()) != 0)
        return Item(L"ProgID " + progId, false, L"names another class: " + clsid);
    return Item(L"ProgID " + progId, true, clsid);
}

RegistrationItem ServerItem(const std::wstring& classKey)
{
    std::wstring path;
    if (!ReadClassesString(classKey + L"\\InprocServer32", L"", path))
        return Item(L"server", false, L"not registered");
    bool exists = ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    return Item(L"server", exists, path + (exists ? L" (file exists)" : L" (file missing)"));
}

RegistrationItem ThreadingModelItem(const std::wstring& classKey)
{
    std::wstring model;
    if (!ReadClassesString(classKey + L"\\InprocServer32", L"ThreadingModel", model))
        return Item(L"threading model", false, L"not registered");
    return Item(L"threading model", true, model);
}

RegistrationItem TypeLibraryItem()
{
    const std::wstring label = L"type library " + GuidText(LIBID_VRKSOLAUTHLib) + L" 1.0";
    Veyrak::ComPtr<ITypeLib> library;
    HRESULT result = ::LoadRegTypeLib(LIBID_VRKSOLAUTHLib, 1, 0, LOCALE_NEUTRAL, library.Put());
    if (FAILED(result))
    {
        char text[48];
        std::snprintf(text, sizeof text, "not loadable (HRESULT 0x%08lX)", static_cast<unsigned long>(result));
        return Item(label, false, Veyrak::WidenAnsi(text));
    }
    BSTR path = nullptr;
    Veyrak::UniqueBstr owned;
    if (SUCCEEDED(::QueryPathOfRegTypeLib(LIBID_VRKSOLAUTHLib, 1, 0, LOCALE_NEUTRAL, &path)))
        owned.reset(path);
    return Item(label, true, owned ? std::wstring(L"loads from ") + owned.get() : L"loads");
}

RegistrationItem ProductKeyItem()
{
    Veyrak::UniqueHkey key;
    bool present =
        ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, Veyrak::kProductKeyPath, 0, KEY_READ, key.put()) == ERROR_SUCCESS;
    return Item(L"product key HKLM\\" + Veyrak::WidenAnsi(Veyrak::kProductKeyPath), present,
                present ? L"present (VRKsolution installed)" : L"absent (VRKsolution not installed)", false);
}

} // namespace

std::vector<RegistrationItem> ReadRegistration()
{
    const std::wstring clsid = GuidText(CLSID_VRKsolutionAuthenticator);
    const std::wstring classKey = L"CLSID\\" + clsid;
    std::vector<RegistrationItem> items;

    std::wstring className;
    bool classRegistered = ReadClassesString(classKey, L"", className);
    items.push_back(Item(L"class " + clsid, classRegistered, classRegistered ? className : L"not registered"));
    items.push_back(ProgIdItem(kVersionedProgId, clsid));
    items.push_back(ProgIdItem(kProgId, clsid));
    items.push_back(ServerItem(classKey));
    items.push_back(ThreadingModelItem(classKey));
    items.push_back(TypeLibraryItem());
    items.push_back(ProductKeyItem());
    return items;
}

std::string RegistryViewReport()
{
#ifdef _WIN64
    return "architecture: x64 (64-bit process), 64-bit registry view";
#else
    BOOL underWow64 = FALSE;
    if (::IsWow64Process(::GetCurrentProcess(), &underWow64) && underWow64)
        return "architecture: x86 (32-bit process on 64-bit Windows), 32-bit registry view (WOW6432Node)";
    return "architecture: x86 (32-bit process), 32-bit registry view";
#endif
}

bool PrintRegistration(const std::vector<RegistrationItem>& items)
{
    std::printf("%s\n", RegistryViewReport().c_str());
    bool complete = true;
    for (const RegistrationItem& item : items)
    {
        const char* state = item.present ? "yes" : (item.required ? "MISSING" : "no");
        std::printf("%s: %s, %s\n", item.label.c_str(), state, item.detail.c_str());
        complete = complete && (item.present || !item.required);
    }
    std::printf(complete ? "registration complete\n" : "registration incomplete\n");
    return complete;
}

} // namespace Vrkauth
