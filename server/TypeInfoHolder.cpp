// TypeInfoHolder.cpp: type information loaded once, a member-name cache, and dispatch
// through the type information to the interface's own slots.
#include "server/TypeInfoHolder.h"

#include "Common/Utility/ComPtr.h"
#include "Common/Utility/UniqueResource.h"
#include "server/ServerModule.h"

#include <oleauto.h>

#include <cwchar>
#include <new>

namespace Veyrak
{

HRESULT TypeInfoHolder::LoadTypeInformation(LCID locale)
{
    if (m_typeInfo)
        return S_OK;

    HRESULT result = E_FAIL;
    {
        CriticalSectionGuard guard(TheServerModule().TypeInfoLock());
        if (!m_typeInfo)
        {
            ComPtr<ITypeLib> library;
            ComPtr<ITypeInfo> typeInfo;
            result = ::LoadRegTypeLib(*m_libid, m_majorVersion, m_minorVersion, locale, library.Put());
            if (SUCCEEDED(result))
                result = library->GetTypeInfoOfGuid(*m_iid, typeInfo.Put());
            if (SUCCEEDED(result))
            {
                // Prefer ITypeInfo2 where the platform offers it; a refusal is no failure.
                ComPtr<ITypeInfo2> typeInfo2;
                if (SUCCEEDED(typeInfo->QueryInterface(IID_ITypeInfo2, typeInfo2.PutVoid())) && typeInfo2)
                    typeInfo = ComPtr<ITypeInfo>::Attach(typeInfo2.Detach());
                // Readers take no lock: the cache is complete before the pointer is published.
                BuildNameCache(typeInfo.Get());
                ::InterlockedExchangePointer(reinterpret_cast<void* volatile*>(&m_typeInfo), typeInfo.Detach());
                // One clean-up for the one load: a call that finds the library unregistered, or
                // loses the race to another thread, adds none, so failed calls cannot pile up.
                TheServerModule().AddTerminationEntry(&TypeInfoHolder::ReleaseTypeInformation,
                                                      reinterpret_cast<DWORD_PTR>(this));
                result = S_OK;
            }
        }
    }
    return m_typeInfo ? S_OK : result;
}

void TypeInfoHolder::BuildNameCache(ITypeInfo* typeInfo)
{
    TYPEATTR* attributes = nullptr;
    if (FAILED(typeInfo->GetTypeAttr(&attributes)) || !attributes)
        return;
    const LONG count = attributes->cFuncs;
    NameCacheEntry* cache = count > 0 ? new (std::nothrow) NameCacheEntry[count]() : nullptr;
    if (cache)
    {
        for (LONG index = 0; index < count; ++index)
        {
            FUNCDESC* function = nullptr;
            if (FAILED(typeInfo->GetFuncDesc(static_cast<UINT>(index), &function)) || !function)
                continue;
            BSTR name = nullptr;
            if (SUCCEEDED(typeInfo->GetDocumentation(function->memid, &name, nullptr, nullptr, nullptr)))
            {
                cache[index].name = name;
                cache[index].length = static_cast<LONG>(::SysStringLen(name));
                cache[index].dispid = function->memid;
            }
            typeInfo->ReleaseFuncDesc(function);
        }
        m_nameCache = cache;
        m_cacheSize = count;
    }
    typeInfo->ReleaseTypeAttr(attributes);
}

void TypeInfoHolder::ReleaseTypeInformation(DWORD_PTR argument)
{
    auto* holder = reinterpret_cast<TypeInfoHolder*>(argument);
    if (ITypeInfo* typeInfo = holder->m_typeInfo)
    {
        holder->m_typeInfo = nullptr;
        typeInfo->Release();
    }
    if (NameCacheEntry* cache = holder->m_nameCache)
    {
        for (LONG index = 0; index < holder->m_cacheSize; ++index)
            ::SysFreeString(cache[index].name);
        delete[] cache;
        holder->m_nameCache = nullptr;
    }
    holder->m_cacheSize = 0;
}

bool TypeInfoHolder::FindCachedName(LPCOLESTR name, DISPID* dispid) const
{
    const size_t length = std::wcslen(name);
    for (LONG index = m_cacheSize - 1; index >= 0; --index)
    {
        const NameCacheEntry& entry = m_nameCache[index];
        if (entry.name && static_cast<size_t>(entry.length) == length && std::wmemcmp(entry.name, name, length) == 0)
        {
            *dispid = entry.dispid;
            return true;
        }
    }
    return false;
}

HRESULT TypeInfoHolder::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT TypeInfoHolder::GetTypeInfo(UINT, LCID locale, ITypeInfo** typeInfo)
{
    if (!typeInfo)
        return E_POINTER;
    HRESULT result = S_OK;
    if (!m_typeInfo)
        result = LoadTypeInformation(locale);
    *typeInfo = m_typeInfo;
    if (!*typeInfo)
        return result;
    (*typeInfo)->AddRef();
    return S_OK;
}

HRESULT TypeInfoHolder::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* dispids)
{
    HRESULT result = m_typeInfo ? S_OK : LoadTypeInformation(locale);
    if (!m_typeInfo || count < 1)
        return result;
    // A miss hands the whole array to the type information, so every name is checked first.
    if (!names || !dispids)
        return E_POINTER;
    for (UINT index = 0; index < count; ++index)
    {
        if (!names[index])
            return E_POINTER;
    }
    (void)iid;
    for (UINT index = 0; index < count; ++index)
    {
        if (FindCachedName(names[index], &dispids[index]))
            continue;
        result = m_typeInfo->GetIDsOfNames(names, count, dispids);
        if (FAILED(result))
            return result;
    }
    return result;
}

HRESULT TypeInfoHolder::Invoke(void* dualInterface, DISPID dispid, REFIID, LCID locale, WORD flags,
                               DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception, UINT* argumentError)
{
    if (!m_typeInfo)
    {
        HRESULT loaded = LoadTypeInformation(locale);
        if (!m_typeInfo)
            return loaded;
    }
    // The type information reads the arguments as the counts say, so a request whose counts
    // promise arrays that are not there would fault inside the client's own call.
    if (!parameters || (parameters->cArgs && !parameters->rgvarg) ||
        (parameters->cNamedArgs && !parameters->rgdispidNamedArgs) || parameters->cNamedArgs > parameters->cArgs)
        return E_INVALIDARG;
    return m_typeInfo->Invoke(dualInterface, dispid, flags, parameters, result, exception, argumentError);
}

} // namespace Veyrak
