// DispatchTests.cpp: the IDispatch half of the authenticator's dual interface on objects made by
// the DLL's factory: type information shared by every object, name lookup, and Invoke's own checks
// (what a method's failure carries in EXCEPINFO, vrkauth --late-bound and the scripts check). The
// product key is absent, so IsInstalled answers false and Authenticate fails.
#include "support/ServerTest.h"

using namespace VrkTest;

namespace
{

using DispatchTest = RegisteredServerTest;

// The dual interface's type information, the same at every index and for every object, with a
// reference of the caller's own (the dispatch lifetime tests share it between objects and threads).
// An aggregate's inner object loads it first here, and answers Invoke as a standalone object does.
TEST_F(DispatchTest, TypeInformation_CountIsOne_EveryIndexAndAnAggregateGiveTheSameWithAReference)
{
    ComPtr<Outer> outer = ComPtr<Outer>::Attach(new Outer);
    ComPtr<IDispatch> inner;
    ComPtr<ITypeInfo> fromInner;
    ASSERT_HR(S_OK, m_dll.CreateAuthenticator(outer.Get(), IID_IUnknown, outer->inner.PutVoid()));
    ASSERT_HR(S_OK, outer->QueryInterface(IID_IDispatch, inner.PutVoid()));
    ASSERT_HR(S_OK, inner->GetTypeInfo(0, LOCALE_NEUTRAL, fromInner.Put()));
    Variant installed;
    EXPECT_HR(S_OK, InvokeWith(inner.Get(), 1, {}, &installed));
    EXPECT_EQ(VT_BOOL, V_VT(&installed));
    EXPECT_EQ(VARIANT_FALSE, V_BOOL(&installed));

    EXPECT_HR(E_POINTER, m_object->GetTypeInfoCount(nullptr));
    EXPECT_HR(E_POINTER, m_object->GetTypeInfo(0, LOCALE_NEUTRAL, nullptr));
    UINT count = 0xdeadbeef;
    EXPECT_HR(S_OK, m_object->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);
    ComPtr<ITypeInfo> first;
    ASSERT_HR(S_OK, m_object->GetTypeInfo(0, LOCALE_NEUTRAL, first.Put()));
    TYPEATTR* attributes = nullptr;
    ASSERT_HR(S_OK, first->GetTypeAttr(&attributes));
    EXPECT_EQ(IID_IVRKsolutionAuthenticator1, attributes->guid);
    EXPECT_EQ(TKIND_DISPATCH, attributes->typekind);
    first->ReleaseTypeAttr(attributes);
    EXPECT_EQ(fromInner.Get(), first.Get()) << "the aggregate's inner object and a standalone object";
    for (UINT index : {0u, 5u})
    {
        SCOPED_TRACE(testing::Message() << "index " << index);
        const ULONG before = ReferenceCount(first.Get());
        ComPtr<ITypeInfo> again;
        ASSERT_HR(S_OK, m_object->GetTypeInfo(index, 0x0409, again.Put()));
        EXPECT_EQ(first.Get(), again.Get());
        EXPECT_EQ(before + 1, ReferenceCount(first.Get())) << "the caller receives a reference of its own";
    }
}

TEST_F(DispatchTest, GetIDsOfNames_ResolvesNamesThroughCacheAndTypeInformation)
{
    struct Row
    {
        const char* label;
        std::vector<const wchar_t*> names;
        HRESULT expected;
        std::vector<DISPID> dispids; // checked on success
    };
    const Row rows[] = {
        {"exact names", {L"IsInstalled"}, S_OK, {1}},
        {"letter case differs: the type information matches it", {L"AUTHENTICATE"}, S_OK, {2}},
        {"method with its parameter names", {L"Authenticate", L"Domain", L"User"}, S_OK, {2, 0, 1}},
        {"parameter names in another order", {L"Authenticate", L"User", L"Domain"}, S_OK, {2, 1, 0}},
        // The type information would read the second name as a parameter: the cache answers each by itself.
        {"two exact method names", {L"IsInstalled", L"Authenticate"}, S_OK, {1, 2}},
        {"unknown method", {L"Frobnicate"}, DISP_E_UNKNOWNNAME, {}},
        {"cached method with an unknown parameter", {L"Authenticate", L"Password"}, DISP_E_UNKNOWNNAME, {}},
        {"a prefix of a method name", {L"IsInstall"}, DISP_E_UNKNOWNNAME, {}},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.label);
        std::vector<LPOLESTR> names;
        for (const wchar_t* name : row.names)
            names.push_back(const_cast<LPOLESTR>(name));
        std::vector<DISPID> dispids(names.size(), kPoisonDispid);
        EXPECT_HR(row.expected, m_object->GetIDsOfNames(IID_NULL, names.data(), static_cast<UINT>(names.size()),
                                                        LOCALE_USER_DEFAULT, dispids.data()));
        if (row.expected == S_OK)
        {
            EXPECT_EQ(row.dispids, dispids);
        }
    }
}

TEST_F(DispatchTest, GetIDsOfNames_NullArraysOrANullName_FailWithEPointerAndWriteNothing)
{
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"IsInstalled"), nullptr};
    DISPID dispids[2] = {kPoisonDispid, kPoisonDispid};
    EXPECT_HR(E_POINTER, m_object->GetIDsOfNames(IID_NULL, nullptr, 1, LOCALE_USER_DEFAULT, dispids));
    EXPECT_HR(E_POINTER, m_object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, nullptr));
    EXPECT_HR(E_POINTER, m_object->GetIDsOfNames(IID_NULL, names, 2, LOCALE_USER_DEFAULT, dispids))
        << "a null name after a cached one";
    EXPECT_EQ(kPoisonDispid, dispids[0]);
    EXPECT_EQ(kPoisonDispid, dispids[1]);
    EXPECT_HR(S_OK, m_object->GetIDsOfNames(IID_NULL, nullptr, 0, LOCALE_USER_DEFAULT, nullptr)) << "no names at all";
}

// Requests that no client should make, and arguments that do not fit: each fails with the
// platform's dispatch error, without running the method and without touching the result. A method
// that runs and fails, with no EXCEPINFO to take its error, leaves that error on the thread.
TEST_F(DispatchTest, Invoke_MalformedRequestsFailWithoutCallingTheMethod_AFailingMethodLeavesItsErrorOnTheThread)
{
    Variant user(L"alice");                  // shared, not copied, by the first two arguments
    VARIANT arguments[3] = {user, user, {}}; // two strings, then a null IUnknown
    V_VT(&arguments[2]) = VT_UNKNOWN;
    DISPID named[] = {0, 7};
    const struct
    {
        const char* label;
        DISPID dispid;
        WORD flags;
        DISPPARAMS parameters; // the arguments last to first
        HRESULT expected;
    } rows[] = {
        {"an unknown member", 99, DISPATCH_METHOD, {nullptr, nullptr, 0, 0}, DISP_E_MEMBERNOTFOUND},
        {"arguments counted but not given", 2, DISPATCH_METHOD, {nullptr, nullptr, 2, 0}, E_INVALIDARG},
        {"named arguments counted but not given", 2, DISPATCH_METHOD, {arguments, nullptr, 2, 1}, E_INVALIDARG},
        {"more named arguments than arguments", 2, DISPATCH_METHOD, {arguments, named, 1, 2}, E_INVALIDARG},
        {"a property get of a method", 2, DISPATCH_PROPERTYGET, {arguments, nullptr, 2, 0}, DISP_E_MEMBERNOTFOUND},
        {"a property put of a method", 1, DISPATCH_PROPERTYPUT, {arguments, nullptr, 1, 0}, DISP_E_MEMBERNOTFOUND},
        {"Authenticate without User", 2, DISPATCH_METHOD, {arguments, nullptr, 1, 0}, DISP_E_BADPARAMCOUNT},
        {"IsInstalled with an argument", 1, DISPATCH_METHOD, {arguments, nullptr, 1, 0}, DISP_E_BADPARAMCOUNT},
        {"Domain a null IUnknown", 2, DISPATCH_METHOD, {arguments + 1, nullptr, 2, 0}, DISP_E_TYPEMISMATCH},
        {"Authenticate, which fails: not installed", 2, DISPATCH_METHOD, {arguments, nullptr, 2, 0}, DISP_E_EXCEPTION},
    };
    Variant ignored;
    EXPECT_HR(E_INVALIDARG,
              m_object->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, nullptr, &ignored, nullptr, nullptr));
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.label);
        ::SetErrorInfo(0, nullptr);
        Variant result;
        DISPPARAMS parameters = row.parameters;
        UINT argumentError = 0;
        EXPECT_HR(row.expected, m_object->Invoke(row.dispid, IID_NULL, LOCALE_USER_DEFAULT, row.flags, &parameters,
                                                 &result, nullptr, &argumentError));
        const bool ran = row.expected == DISP_E_EXCEPTION;
        EXPECT_TRUE(ran || V_VT(&result) == VT_EMPTY) << "the result holds type " << V_VT(&result);
        const ErrorInfoSnapshot error = TakeErrorInfo();
        EXPECT_EQ(ran, error.present) << "only a method that ran leaves error information";
        EXPECT_EQ(ran ? L"Authenticate: VRKsolution not installed" : L"", error.description);
        EXPECT_EQ(ran ? IID_IVRKsolutionAuthenticator1 : GUID_NULL, error.guid);
    }
}

} // namespace
