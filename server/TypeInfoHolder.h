// TypeInfoHolder.h: the IDispatch half of a dual interface, answered from the registered
// type library. One holder per interface per process, shared by every object: the type
// information and a cache of member names are loaded once, on the first dispatch call.
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace Veyrak
{

struct NameCacheEntry
{
    BSTR name; // null: the name was not read, and the entry matches nothing
    LONG length;
    DISPID dispid;
};

class TypeInfoHolder
{
public:
    TypeInfoHolder(const IID* iid, const GUID* libid, WORD majorVersion, WORD minorVersion)
        : m_iid(iid), m_libid(libid), m_majorVersion(majorVersion), m_minorVersion(minorVersion)
    {
    }
    TypeInfoHolder(const TypeInfoHolder&) = delete;
    TypeInfoHolder& operator=(const TypeInfoHolder&) = delete;

    // Loads the type information through the registry (LoadRegTypeLib) once per process.
    // A failed load leaves the holder empty; the next call tries again.
    HRESULT LoadTypeInformation(LCID locale);

    // The clean-up that the module's termination list runs at unload; running it twice is harmless.
    static void ReleaseTypeInformation(DWORD_PTR holder);

    // The four IDispatch operations; dualInterface is the interface pointer that was called.
    HRESULT GetTypeInfoCount(UINT* count);
    HRESULT GetTypeInfo(UINT index, LCID locale, ITypeInfo** typeInfo);
    HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* dispids);
    HRESULT Invoke(void* dualInterface, DISPID dispid, REFIID iid, LCID locale, WORD flags, DISPPARAMS* parameters,
                   VARIANT* result, EXCEPINFO* exception, UINT* argumentError);

private:
    void BuildNameCache(ITypeInfo* typeInfo);
    bool FindCachedName(LPCOLESTR name, DISPID* dispid) const;

    const IID* m_iid;
    const GUID* m_libid;
    WORD m_majorVersion;
    WORD m_minorVersion;
    ITypeInfo* volatile m_typeInfo = nullptr;
    NameCacheEntry* m_nameCache = nullptr;
    LONG m_cacheSize = 0;
};

} // namespace Veyrak
