// DispatchTests.cpp: the IDispatch half of the authenticator's dual interface, driven through
// objects made by the DLL's class factory: type information count and object, name lookup,
// and the one type information shared by every object of the process.
#include "server/DispatchTestSupport.h"

namespace VrkTest
{
namespace
{

const DISPID kPoisonDispid = static_cast<DISPID>(0xdeadbeef);

using DispatchTest = RegisteredServerTest;

TEST_F(DispatchTest, GetTypeInfoCount_IsOneAndRefusesANullTarget)
{
    ComPtr<IVRKsolutionAuthenticator1> object;
    ASSERT_HR(S_OK, m_dll.CreateAuthenticator(object));

    EXPECT_HR(E_POINTER, object->GetTypeInfoCount(nullptr));
    UINT count = 0xdeadbeef;
    EXPECT_HR(S_OK, object->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);
}

TEST_F(DispatchTest, GetTypeInfo_NullTarget_FailsWithEPointer)
{
    ComPtr<IVRKsolutionAuthenticator1> object;
    ASSERT_HR(S_OK, m_dll.CreateAuthenticator(object));
    EXPECT_HR(E_POINTER, object->GetTypeInfo(0, LOCALE_USER_DEFAULT, nullptr));
}

TEST_F(DispatchTest, GetTypeInfo_AnyIndexAndLocale_GiveTheOneReferencedDispatchTypeInformation)
{
    ComPtr<IVRKsolutionAuthenticator1> object;
    ASSERT_HR(S_OK, m_dll.CreateAuthenticator(object));

    ComPtr<ITypeInfo> first;
    ASSERT_HR(S_OK, object->GetTypeInfo(0, LOCALE_NEUTRAL, first.Put()));
    ASSERT_TRUE(first);
    TYPEATTR* attributes = nullptr;
    ASSERT_HR(S_OK, first->GetTypeAttr(&attributes));
    EXPECT_TRUE(::IsEqualGUID(IID_IVRKsolutionAuthenticator1, attributes->guid));
    EXPECT_EQ(TKIND_DISPATCH, attributes->typekind);
    first->ReleaseTypeAttr(attributes);

    struct Row
    {
        UINT index;
        LCID locale;
    };
    for (const Row& row : {Row{0, LOCALE_NEUTRAL}, Row{5, LOCALE_NEUTRAL}, Row{5, 0x0409}, Row{0, LOCALE_USER_DEFAULT}})
    {
        SCOPED_TRACE(testing::Message() << "index " << row.index << ", locale " << row.locale);
        const ULONG before = ReferenceCount(first.Get());
        ITypeInfo* again = reinterpret_cast<ITypeInfo*>(0xdeadbeef);
        ASSERT_HR(S_OK, object->GetTypeInfo(row.index, row.locale, &again));
        EXPECT_EQ(first.Get(), again);
        // The caller receives a reference of its own.
        EXPECT_EQ(before + 1, ReferenceCount(first.Get()));
        if (again == first.Get())
            again->Release();
    }
}

struct NameCase
{
    const char* label;
    std::vector<const wchar_t*> names;
    HRESULT expected;
    std::vector<DISPID> dispids; // checked only on success
};

TEST_F(DispatchTest, GetIDsOfNames_ResolvesNamesThroughCacheAndTypeInformation)
{
    ComPtr<IVRKsolutionAuthenticator1> object;
    ASSERT_HR(S_OK, m_dll.CreateAuthenticator(object));

    const NameCase cases[] = {
        {"exact method name", {L"IsInstalled"}, S_OK, {1}},
        {"exact second method name", {L"Authenticate"}, S_OK, {2}},
        {"letter case differs: the type information matches it", {L"isinstalled"}, S_OK, {1}},
        {"upper case", {L"AUTHENTICATE"}, S_OK, {2}},
        {"method with its parameter names", {L"Authenticate", L"Domain", L"User"}, S_OK, {2, 0, 1}},
        {"parameter names in another order", {L"Authenticate", L"User", L"Domain"}, S_OK, {2, 1, 0}},
        {"unknown method", {L"Frobnicate"}, DISP_E_UNKNOWNNAME, {}},
        {"cached method with an unknown parameter", {L"Authenticate", L"Password"}, DISP_E_UNKNOWNNAME, {}},
        {"a name that is only a prefix of a method", {L"IsInstall"}, DISP_E_UNKNOWNNAME, {}},
        {"a name that extends a method", {L"IsInstalledX"}, DISP_E_UNKNOWNNAME, {}},
        {"empty name", {L""}, DISP_E_UNKNOWNNAME, {}},
    };
    for (const NameCase& row : cases)
    {
        SCOPED_TRACE(row.label);
        std::vector<LPOLESTR> names;
        for (const wchar_t* name : row.names)
            names.push_back(const_cast<LPOLESTR>(name));
        std::vector<DISPID> dispids(names.size(), kPoisonDispid);
        EXPECT_HR(row.expected, object->GetIDsOfNames(IID_NULL, names.data(), static_cast<UINT>(names.size()),
                                                      LOCALE_USER_DEFAULT, dispids.data()));
        if (row.expected == S_OK)
        {
            EXPECT_EQ(row.dispids, dispids);
        }
    }
}

TEST_F(DispatchTest, GetIDsOfNames_AllNamesExactMethodNames_AnsweredFromCacheOneByOne)
{
    ComPtr<IVRKsolutionAuthenticator1> object;
    ASSERT_HR(S_OK, m_dll.CreateAuthenticator(object));
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"IsInstalled"), const_cast<LPOLESTR>(L"Authenticate")};

    // The type information reads the second name as a parameter of the first and refuses it...
    ComPtr<ITypeInfo> typeInfo;
    ASSERT_HR(S_OK, object->GetTypeInfo(0, LOCALE_NEUTRAL, typeInfo.Put()));
    DISPID direct[2] = {kPoisonDispid, kPoisonDispid};
    EXPECT_HR(DISP_E_UNKNOWNNAME, typeInfo->GetIDsOfNames(names, 2, direct));

    // ...the name cache answers each exact member name by itself and never asks it.
    DISPID dispids[2] = {kPoisonDispid, kPoisonDispid};
    EXPECT_HR(S_OK, object->GetIDsOfNames(IID_NULL, names, 2, LOCALE_USER_DEFAULT, dispids));
    EXPECT_EQ(1, dispids[0]);
    EXPECT_EQ(2, dispids[1]);
}

TEST_F(DispatchTest, GetIDsOfNames_NullArraysOrANullName_FailWithEPointerAndWriteNothing)
{
    ComPtr<IVRKsolutionAuthenticator1> object;
    ASSERT_HR(S_OK, m_dll.CreateAuthenticator(object));

    LPOLESTR exact[] = {const_cast<LPOLESTR>(L"IsInstalled")};
    LPOLESTR nullOnly[] = {nullptr};
    LPOLESTR missFirst[] = {const_cast<LPOLESTR>(L"isinstalled"), nullptr};
    LPOLESTR hitFirst[] = {const_cast<LPOLESTR>(L"IsInstalled"), nullptr};
    struct Row
    {
        const char* label;
        LPOLESTR* names;
        UINT count;
        bool nullIds;
    };
    const Row rows[] = {
        {"null names array", nullptr, 1, false},
        {"null ids array", exact, 1, true},
        {"the only name null", nullOnly, 1, false},
        {"a null name after a name that misses the cache", missFirst, 2, false},
        {"a null name after a cached name", hitFirst, 2, false},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.label);
        DISPID dispids[2] = {kPoisonDispid, kPoisonDispid};
        EXPECT_HR(E_POINTER, object->GetIDsOfNames(IID_NULL, row.names, row.count, LOCALE_USER_DEFAULT,
                                                   row.nullIds ? nullptr : dispids));
        EXPECT_EQ(kPoisonDispid, dispids[0]);
        EXPECT_EQ(kPoisonDispid, dispids[1]);
    }
}

TEST_F(DispatchTest, GetIDsOfNames_NoNames_SucceedsWithoutTouchingTheArrays)
{
    ComPtr<IVRKsolutionAuthenticator1> object;
    ASSERT_HR(S_OK, m_dll.CreateAuthenticator(object));
    EXPECT_HR(S_OK, object->GetIDsOfNames(IID_NULL, nullptr, 0, LOCALE_USER_DEFAULT, nullptr));
}

// A controlling object that aggregates the authenticator: it keeps the inner object's
// non-delegating IUnknown and hands every interface but IUnknown on to it.
class OuterObject final : public IUnknown
{
public:
    HRESULT Aggregate(IClassFactory* factory) { return factory->CreateInstance(this, IID_IUnknown, m_inner.PutVoid()); }
    void ReleaseInner() { m_inner.Reset(); }
    LONG Count() const { return m_count; }

    IFACEMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (::IsEqualIID(iid, IID_IUnknown))
        {
            *out = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        return m_inner ? m_inner->QueryInterface(iid, out) : E_NOINTERFACE;
    }
    IFACEMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&m_count)); }
    // Lives on the test's stack: the count is only watched, never acted on.
    IFACEMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(::InterlockedDecrement(&m_count)); }

private:
    volatile LONG m_count = 1;
    ComPtr<IUnknown> m_inner;
};

TEST_F(DispatchTest, TypeInformation_SharedByStandaloneObjectsAndAnAggregatesInnerObject)
{
    ComPtr<IClassFactory> factory;
    ASSERT_HR(S_OK, m_dll.GetFactory(factory));
    ComPtr<IDispatch> first;
    ComPtr<IDispatch> second;
    ASSERT_HR(S_OK, factory->CreateInstance(nullptr, IID_IDispatch, first.PutVoid()));
    ASSERT_HR(S_OK, factory->CreateInstance(nullptr, IID_IDispatch, second.PutVoid()));
    ASSERT_NE(first.Get(), second.Get());

    OuterObject outer;
    ASSERT_HR(S_OK, outer.Aggregate(factory.Get()));
    {
        ComPtr<IDispatch> inner;
        ASSERT_HR(S_OK, outer.QueryInterface(IID_IDispatch, inner.PutVoid()));
        ASSERT_TRUE(inner);
        ASSERT_NE(static_cast<IUnknown*>(&outer), static_cast<IUnknown*>(inner.Get()));

        // The inner object loads first; the standalone objects must find the same one.
        ComPtr<ITypeInfo> fromInner;
        ComPtr<ITypeInfo> fromFirst;
        ComPtr<ITypeInfo> fromSecond;
        ASSERT_HR(S_OK, inner->GetTypeInfo(0, LOCALE_NEUTRAL, fromInner.Put()));
        ASSERT_HR(S_OK, first->GetTypeInfo(0, LOCALE_NEUTRAL, fromFirst.Put()));
        ASSERT_HR(S_OK, second->GetTypeInfo(0, LOCALE_NEUTRAL, fromSecond.Put()));
        ASSERT_TRUE(fromInner);
        EXPECT_EQ(fromInner.Get(), fromFirst.Get());
        EXPECT_EQ(fromInner.Get(), fromSecond.Get());

        // Late binding through the inner object reaches the inner object's own method.
        LPOLESTR names[] = {const_cast<LPOLESTR>(L"IsInstalled")};
        DISPID dispid = kPoisonDispid;
        EXPECT_HR(S_OK, inner->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid));
        EXPECT_EQ(1, dispid);
        Variant result;
        EXPECT_HR(S_OK, InvokeWith(inner.Get(), dispid, DISPATCH_METHOD, {}, result.Get(), nullptr, nullptr));
        EXPECT_EQ(VT_BOOL, V_VT(result.Get()));
        EXPECT_EQ(VARIANT_FALSE, V_BOOL(result.Get()));
    }
    // Every reference that went out through the inner object came back to the outer one.
    EXPECT_EQ(1, outer.Count());
    outer.ReleaseInner();
    first.Reset();
    second.Reset();
    factory.Reset();
    EXPECT_HR(S_OK, m_dll.CanUnloadNow());
}

} // namespace
} // namespace VrkTest
