// ComPtr.h: an owning interface pointer. Exactly one Release per reference obtained.
#pragma once

#include <unknwn.h>

#include <utility>

namespace Veyrak
{

template <typename Interface> class ComPtr
{
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes over a reference that the caller owns.
    static ComPtr Attach(Interface* pointer)
    {
        ComPtr result;
        result.m_pointer = pointer;
        return result;
    }
    // Adds a reference of its own.
    static ComPtr Copy(Interface* pointer)
    {
        if (pointer)
            pointer->AddRef();
        return Attach(pointer);
    }
    ComPtr(const ComPtr& other) : m_pointer(other.m_pointer)
    {
        if (m_pointer)
            m_pointer->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : m_pointer(std::exchange(other.m_pointer, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept
    {
        std::swap(m_pointer, other.m_pointer);
        return *this;
    }
    ~ComPtr() { Reset(); }

    Interface* Get() const { return m_pointer; }
    Interface* operator->() const { return m_pointer; }
    explicit operator bool() const { return m_pointer != nullptr; }

    Interface* Detach() { return std::exchange(m_pointer, nullptr); }

    void Reset()
    {
        if (Interface* old = std::exchange(m_pointer, nullptr))
            old->Release();
    }

    // For out-parameters: releases what is held, then hands out the slot.
    Interface** Put()
    {
        Reset();
        return &m_pointer;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }

    template <typename Other> HRESULT QueryInterface(REFIID iid, ComPtr<Other>& target) const
    {
        return m_pointer->QueryInterface(iid, target.PutVoid());
    }

private:
    Interface* m_pointer = nullptr;
};

} // namespace Veyrak
