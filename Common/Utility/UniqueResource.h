// UniqueResource.h: one move-only RAII template for the platform's handles, with an
// alias per handle type. Every HKEY, BSTR, module handle and critical-section hold
// in this code goes through one of these, so no early return can leak one.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <utility>

namespace Veyrak
{

template <typename T, typename Closer, Closer close, T invalid = T()> class UniqueResource
{
public:
    UniqueResource() = default;
    explicit UniqueResource(T value) : m_value(value) {}
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : m_value(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    ~UniqueResource() { reset(); }

    T get() const { return m_value; }
    explicit operator bool() const { return m_value != invalid; }

    // Gives up ownership without closing.
    T release() { return std::exchange(m_value, invalid); }

    void reset(T value = invalid)
    {
        T old = std::exchange(m_value, value);
        if (old != invalid)
            close(old);
    }

    // For out-parameters: closes what is held, then hands out the slot.
    T* put()
    {
        reset();
        return &m_value;
    }

private:
    T m_value = invalid;
};

// The platform's predefined root keys (HKEY_CLASSES_ROOT ... HKEY_DYN_DATA and the rest of
// their range) are pseudo handles: the 32-bit values 0x80000000-0x800000FF, sign-extended
// in a 64-bit process.
inline bool IsPredefinedRegistryKey(HKEY key)
{
    const LONG_PTR value = reinterpret_cast<LONG_PTR>(key);
    return value >= static_cast<LONG_PTR>(static_cast<LONG>(0x80000000u)) &&
           value <= static_cast<LONG_PTR>(static_cast<LONG>(0x800000FFu));
}

namespace detail
{
inline void CloseRegistryKey(HKEY key)
{
    // The predefined root keys are never ours to close.
    if (!IsPredefinedRegistryKey(key))
        ::RegCloseKey(key);
}
inline void FreeBstr(BSTR text)
{
    ::SysFreeString(text);
}
inline void UnloadModule(HMODULE module)
{
    ::FreeLibrary(module);
}
inline void FreeTaskMemory(void* memory)
{
    ::CoTaskMemFree(memory);
}
inline void FreeTaskString(LPOLESTR text)
{
    ::CoTaskMemFree(text);
}
inline void FreeLocalMemory(HLOCAL memory)
{
    ::LocalFree(memory);
}
inline void CloseKernelHandle(HANDLE handle)
{
    ::CloseHandle(handle);
}
} // namespace detail

using UniqueHkey = UniqueResource<HKEY, void (*)(HKEY), detail::CloseRegistryKey>;
using UniqueBstr = UniqueResource<BSTR, void (*)(BSTR), detail::FreeBstr>;
using UniqueModule = UniqueResource<HMODULE, void (*)(HMODULE), detail::UnloadModule>;
using UniqueTaskMemory = UniqueResource<void*, void (*)(void*), detail::FreeTaskMemory>;
// A string the platform allocated with CoTaskMemAlloc (ProgIDFromCLSID, StringFromCLSID, ...).
using UniqueTaskString = UniqueResource<LPOLESTR, void (*)(LPOLESTR), detail::FreeTaskString>;
using UniqueLocalMemory = UniqueResource<HLOCAL, void (*)(HLOCAL), detail::FreeLocalMemory>;
// A kernel object's handle: a process, a thread, a pipe's end, an event.
using UniqueHandle = UniqueResource<HANDLE, void (*)(HANDLE), detail::CloseKernelHandle>;

// A VARIANT that is cleared when it leaves scope or is reset: whatever it holds (a BSTR, an
// interface, an array) is freed exactly once. It is a VARIANT, so that its address goes
// wherever the platform takes a VARIANT*.
class UniqueVariant : public VARIANT
{
public:
    UniqueVariant() { ::VariantInit(this); }
    // A VT_BSTR copy of the text; a copy that cannot be allocated leaves a null BSTR, which
    // COM reads as the empty text.
    explicit UniqueVariant(const wchar_t* text) : UniqueVariant()
    {
        V_VT(this) = VT_BSTR;
        V_BSTR(this) = ::SysAllocString(text);
    }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;
    ~UniqueVariant() { ::VariantClear(this); }

    void reset() { ::VariantClear(this); }
    // For out-parameters: clears what is held, then hands out the slot.
    VARIANT* put()
    {
        reset();
        return this;
    }
};

// Holds a critical section for the guard's lifetime.
class CriticalSectionGuard
{
public:
    explicit CriticalSectionGuard(CRITICAL_SECTION& section) : m_section(section)
    {
        ::EnterCriticalSection(&m_section);
    }
    CriticalSectionGuard(const CriticalSectionGuard&) = delete;
    CriticalSectionGuard& operator=(const CriticalSectionGuard&) = delete;
    ~CriticalSectionGuard() { ::LeaveCriticalSection(&m_section); }

private:
    CRITICAL_SECTION& m_section;
};

} // namespace Veyrak
