// ComObject.h: the COM frame around a class: reference counting, QueryInterface from
// the class's interface table, and creation standalone or as the inner object of an
// aggregate. A class T plugs in by deriving from its interfaces and ObjectRoot, and by
// offering:
//   static const InterfaceMapEntry* InterfaceTable();  first row is the object's identity
//   HRESULT CompleteConstruction();                     only S_OK keeps a new object
//   void Teardown();                                    releases what the object holds
// The IUnknown methods of T are supplied here, once for every interface of T.
#pragma once

#include "server/InterfaceTable.h"
#include "server/ServerModule.h"

#include <new>

namespace Veyrak
{

// The frame's per-object state, placed after the class's interface entry points.
class ObjectRoot
{
protected:
    ObjectRoot() : m_refCount(0) {}

    // A standalone object counts its own references; an object inside an aggregate
    // keeps the controlling outer object here instead and counts nothing.
    union
    {
        volatile LONG m_refCount;
        IUnknown* m_outerUnknown;
    };
};

// An object made without an outer object. Holds a module lock for its whole life.
template <typename T> class StandaloneObject final : public T
{
public:
    StandaloneObject() { TheServerModule().Lock(); }

    IFACEMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        return InterfaceTableLookup(static_cast<T*>(this), T::InterfaceTable(), iid, out);
    }
    IFACEMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&this->m_refCount)); }
    IFACEMETHODIMP_(ULONG) Release() override
    {
        LONG count = ::InterlockedDecrement(&this->m_refCount);
        if (count == 0)
            Destroy();
        return static_cast<ULONG>(count);
    }

    static HRESULT CreateInstance(REFIID iid, void** out)
    {
        auto* object = new (std::nothrow) StandaloneObject<T>();
        if (!object)
            return E_OUTOFMEMORY;
        // A reference held across construction: an AddRef/Release pair inside it must not free the object.
        ::InterlockedIncrement(&object->m_refCount);
        HRESULT result = object->CompleteConstruction();
        ::InterlockedDecrement(&object->m_refCount);
        if (result == S_OK)
        {
            result = object->QueryInterface(iid, out);
            if (result == S_OK)
                return result;
        }
        object->Destroy();
        return result;
    }

private:
    ~StandaloneObject() = default;

    void Destroy()
    {
        // Guards against a second destruction by an AddRef/Release pair during teardown.
        this->m_refCount = 1;
        TheServerModule().Unlock();
        this->Teardown();
        delete this;
    }
};

// The inner object of an aggregate: its IUnknown belongs to the outer object.
template <typename T> class EmbeddedObject final : public T
{
public:
    explicit EmbeddedObject(IUnknown* outer) { this->m_outerUnknown = outer; }

    IFACEMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        HRESULT result = this->m_outerUnknown->QueryInterface(iid, out);
        if (FAILED(result) && this->m_outerUnknown != Identity())
            result = InterfaceTableLookup(static_cast<T*>(this), T::InterfaceTable(), iid, out);
        return result;
    }
    IFACEMETHODIMP_(ULONG) AddRef() override { return this->m_outerUnknown->AddRef(); }
    IFACEMETHODIMP_(ULONG) Release() override { return this->m_outerUnknown->Release(); }

private:
    IUnknown* Identity() { return EntryPoint(static_cast<T*>(this), T::InterfaceTable()[0]); }
};

// The shell made when an outer object is given: its own non-delegating IUnknown and
// count, and the embedded object. Holds a module lock for its whole life.
template <typename T> class AggregatedObject final : public IUnknown
{
public:
    explicit AggregatedObject(IUnknown* outer) : m_contained(outer) { TheServerModule().Lock(); }

    IFACEMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (::IsEqualIID(iid, IID_IUnknown))
        {
            *out = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        return InterfaceTableLookup(static_cast<T*>(&m_contained), T::InterfaceTable(), iid, out);
    }
    IFACEMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&m_refCount)); }
    IFACEMETHODIMP_(ULONG) Release() override
    {
        LONG count = ::InterlockedDecrement(&m_refCount);
        if (count == 0)
            Destroy();
        return static_cast<ULONG>(count);
    }

    static HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** out)
    {
        auto* shell = new (std::nothrow) AggregatedObject<T>(outer);
        if (!shell)
            return E_OUTOFMEMORY;
        HRESULT result = shell->m_contained.CompleteConstruction();
        if (result == S_OK)
        {
            result = shell->QueryInterface(iid, out);
            if (result == S_OK)
                return result;
        }
        shell->Destroy();
        return result;
    }

private:
    ~AggregatedObject() = default;

    void Destroy()
    {
        m_refCount = 1;
        TheServerModule().Unlock();
        m_contained.Teardown();
        delete this;
    }

    volatile LONG m_refCount = 0;
    EmbeddedObject<T> m_contained;
};

// The instance creator of an object map row for class T.
template <typename T> HRESULT CreateComInstance(IUnknown* outer, REFIID iid, void** out)
{
    if (outer)
        return AggregatedObject<T>::CreateInstance(outer, iid, out);
    return StandaloneObject<T>::CreateInstance(iid, out);
}

} // namespace Veyrak
