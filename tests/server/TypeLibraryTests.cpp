// TypeLibraryTests.cpp: the type library embedded in vrksolauth.dll, read back through the
// platform's type library reader and compared by content (the compiler stamps dates into the
// file, so bytes would not compare).
#include "server/DispatchTestSupport.h"

#include "Common/Utility/UniqueResource.h"

namespace VrkTest
{
namespace
{

using Veyrak::UniqueBstr;

// {00020430-0000-0000-C000-000000000046}: the standard Automation library, stdole2.tlb.
const GUID kStandardOleLibrary = {0x00020430, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct Documentation
{
    std::wstring name;
    std::wstring helpString;
};

std::wstring Text(const UniqueBstr& text)
{
    return text ? std::wstring(text.get(), ::SysStringLen(text.get())) : std::wstring();
}

Documentation DocumentationOf(ITypeInfo* info, MEMBERID member)
{
    UniqueBstr name;
    UniqueBstr helpString;
    EXPECT_HR(S_OK, info->GetDocumentation(member, name.put(), helpString.put(), nullptr, nullptr));
    return {Text(name), Text(helpString)};
}

std::vector<std::wstring> NamesOf(ITypeInfo* info, MEMBERID member)
{
    BSTR names[8] = {};
    UINT count = 0;
    EXPECT_HR(S_OK, info->GetNames(member, names, 8, &count));
    std::vector<std::wstring> result;
    for (UINT index = 0; index < count; ++index)
    {
        result.emplace_back(names[index], ::SysStringLen(names[index]));
        ::SysFreeString(names[index]);
    }
    return result;
}

// TYPEATTR copied out, so that no test path can forget ReleaseTypeAttr.
TYPEATTR AttributesOf(ITypeInfo* info)
{
    TYPEATTR copy = {};
    TYPEATTR* attributes = nullptr;
    EXPECT_HR(S_OK, info->GetTypeAttr(&attributes));
    if (attributes)
    {
        copy = *attributes;
        info->ReleaseTypeAttr(attributes);
    }
    return copy;
}

std::wstring GuidText(const GUID& guid)
{
    wchar_t text[40] = {};
    ::StringFromGUID2(guid, text, 40);
    return text;
}

// A parameter of a function description, as the tests compare it.
struct ParameterShape
{
    VARTYPE type;
    VARTYPE pointee; // VT_EMPTY unless type is VT_PTR
    USHORT flags;
};

struct FunctionShape
{
    MEMBERID member;
    FUNCKIND kind;
    SHORT vtableOffset;
    VARTYPE returnType;
    std::vector<std::wstring> names; // the function's name, then its parameters'
    std::wstring helpString;
    std::vector<ParameterShape> parameters;
};

void ExpectFunction(ITypeInfo* info, UINT index, const FunctionShape& expected)
{
    SCOPED_TRACE(testing::Message() << "function " << index);
    FUNCDESC* function = nullptr;
    ASSERT_HR(S_OK, info->GetFuncDesc(index, &function));
    EXPECT_EQ(expected.member, function->memid);
    EXPECT_EQ(expected.kind, function->funckind);
    EXPECT_EQ(INVOKE_FUNC, function->invkind);
    EXPECT_EQ(CC_STDCALL, function->callconv);
    EXPECT_EQ(expected.vtableOffset, function->oVft);
    EXPECT_EQ(expected.returnType, function->elemdescFunc.tdesc.vt);
    EXPECT_EQ(0, function->cParamsOpt);
    ASSERT_EQ(expected.parameters.size(), static_cast<size_t>(function->cParams));
    for (size_t parameter = 0; parameter < expected.parameters.size(); ++parameter)
    {
        SCOPED_TRACE(testing::Message() << "parameter " << parameter);
        const ELEMDESC& element = function->lprgelemdescParam[parameter];
        EXPECT_EQ(expected.parameters[parameter].type, element.tdesc.vt);
        if (element.tdesc.vt == VT_PTR)
        {
            EXPECT_EQ(expected.parameters[parameter].pointee, element.tdesc.lptdesc->vt);
        }
        EXPECT_EQ(expected.parameters[parameter].flags, element.paramdesc.wParamFlags);
    }
    const MEMBERID member = function->memid;
    info->ReleaseFuncDesc(function);
    EXPECT_EQ(expected.names, NamesOf(info, member));
    EXPECT_EQ(expected.helpString, DocumentationOf(info, member).helpString);
}

const USHORT kIn = PARAMFLAG_FIN;
const USHORT kOutRetval = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;

class TypeLibraryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_HR(S_OK, LoadServerTypeLibrary(m_library));
        ASSERT_TRUE(m_library);
    }

    ComPtr<ITypeInfo> TypeInfoAt(UINT index)
    {
        ComPtr<ITypeInfo> info;
        EXPECT_HR(S_OK, m_library->GetTypeInfo(index, info.Put()));
        return info;
    }

    // The vtable half of the dual interface, reached from its dispatch half.
    ComPtr<ITypeInfo> VtableInterface()
    {
        ComPtr<ITypeInfo> dispatch = TypeInfoAt(0);
        ComPtr<ITypeInfo> vtable;
        HREFTYPE reference = 0;
        if (dispatch)
        {
            EXPECT_HR(S_OK, dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference));
            EXPECT_HR(S_OK, dispatch->GetRefTypeInfo(reference, vtable.Put()));
        }
        return vtable;
    }

    ComPtr<ITypeLib> m_library;
};

TEST_F(TypeLibraryTest, Library_NameIdVersionLocaleAndPlatform)
{
    TLIBATTR* attributes = nullptr;
    ASSERT_HR(S_OK, m_library->GetLibAttr(&attributes));
    EXPECT_EQ(GuidText(LIBID_VRKSOLAUTHLib), GuidText(attributes->guid));
    EXPECT_EQ(L"{2C21A4B6-C51A-4990-B440-B0841534F73A}", GuidText(attributes->guid));
    EXPECT_EQ(1, attributes->wMajorVerNum);
    EXPECT_EQ(0, attributes->wMinorVerNum);
    EXPECT_EQ(0u, attributes->lcid);
    EXPECT_EQ(SYS_WIN32, attributes->syskind);
    m_library->ReleaseTLibAttr(attributes);

    UniqueBstr name;
    UniqueBstr helpString;
    ASSERT_HR(S_OK, m_library->GetDocumentation(-1, name.put(), helpString.put(), nullptr, nullptr));
    EXPECT_EQ(L"VRKSOLAUTHLib", Text(name));
    EXPECT_EQ(L"vrksolauth 1.0 Type Library", Text(helpString));
}

TEST_F(TypeLibraryTest, Library_DescribesTheInterfaceFirstThenTheClass)
{
    ASSERT_EQ(2u, m_library->GetTypeInfoCount());
    TYPEKIND kind = TKIND_MAX;
    ASSERT_HR(S_OK, m_library->GetTypeInfoType(0, &kind));
    // A dual interface is listed by its dispatch half; the vtable half hangs off it.
    EXPECT_EQ(TKIND_DISPATCH, kind);
    ASSERT_HR(S_OK, m_library->GetTypeInfoType(1, &kind));
    EXPECT_EQ(TKIND_COCLASS, kind);

    UniqueBstr name;
    ASSERT_HR(S_OK, m_library->GetDocumentation(0, name.put(), nullptr, nullptr, nullptr));
    EXPECT_EQ(L"IVRKsolutionAuthenticator1", Text(name));
    ASSERT_HR(S_OK, m_library->GetDocumentation(1, name.put(), nullptr, nullptr, nullptr));
    EXPECT_EQ(L"VRKsolutionAuthenticator", Text(name));
}

TEST_F(TypeLibraryTest, Interface_DispatchHalfFoundByIidIsDualAndDispatchable)
{
    ComPtr<ITypeInfo> byIid;
    ASSERT_HR(S_OK, m_library->GetTypeInfoOfGuid(IID_IVRKsolutionAuthenticator1, byIid.Put()));
    ComPtr<ITypeInfo> first = TypeInfoAt(0);
    ASSERT_TRUE(first);
    EXPECT_EQ(first.Get(), byIid.Get());

    const TYPEATTR attributes = AttributesOf(byIid.Get());
    EXPECT_EQ(L"{D57B64F7-8728-4717-BD9C-A09719A06BA0}", GuidText(attributes.guid));
    EXPECT_EQ(TKIND_DISPATCH, attributes.typekind);
    EXPECT_EQ(TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE,
              attributes.wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE | TYPEFLAG_FRESTRICTED));
    EXPECT_EQ(0, attributes.wMajorVerNum);
    EXPECT_EQ(0, attributes.wMinorVerNum);
    // IDispatch's seven slots, 4 bytes each on Win32.
    EXPECT_EQ(28, attributes.cbSizeVft);
    EXPECT_EQ(1, attributes.cImplTypes);
    EXPECT_EQ(0, attributes.cVars);

    const Documentation documentation = DocumentationOf(byIid.Get(), MEMBERID_NIL);
    EXPECT_EQ(L"IVRKsolutionAuthenticator1", documentation.name);
    EXPECT_EQ(L"IVRKsolutionAuthenticator1 Interface", documentation.helpString);
}

TEST_F(TypeLibraryTest, Interface_VtableHalfHasNineSlotsAndDerivesFromStandardIDispatch)
{
    ComPtr<ITypeInfo> vtable = VtableInterface();
    ASSERT_TRUE(vtable);
    const TYPEATTR attributes = AttributesOf(vtable.Get());
    EXPECT_EQ(L"{D57B64F7-8728-4717-BD9C-A09719A06BA0}", GuidText(attributes.guid));
    EXPECT_EQ(TKIND_INTERFACE, attributes.typekind);
    EXPECT_EQ(TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE, attributes.wTypeFlags);
    EXPECT_EQ(36, attributes.cbSizeVft);
    EXPECT_EQ(2, attributes.cFuncs);
    ASSERT_EQ(1, attributes.cImplTypes);

    HREFTYPE reference = 0;
    ASSERT_HR(S_OK, vtable->GetRefTypeOfImplType(0, &reference));
    ComPtr<ITypeInfo> base;
    ASSERT_HR(S_OK, vtable->GetRefTypeInfo(reference, base.Put()));
    const TYPEATTR baseAttributes = AttributesOf(base.Get());
    EXPECT_EQ(GuidText(IID_IDispatch), GuidText(baseAttributes.guid));

    // IDispatch comes from the imported standard library, not from a copy inside this one.
    ComPtr<ITypeLib> baseLibrary;
    UINT index = 0;
    ASSERT_HR(S_OK, base->GetContainingTypeLib(baseLibrary.Put(), &index));
    TLIBATTR* libraryAttributes = nullptr;
    ASSERT_HR(S_OK, baseLibrary->GetLibAttr(&libraryAttributes));
    EXPECT_EQ(GuidText(kStandardOleLibrary), GuidText(libraryAttributes->guid));
    EXPECT_EQ(2, libraryAttributes->wMajorVerNum);
    baseLibrary->ReleaseTLibAttr(libraryAttributes);
}

TEST_F(TypeLibraryTest, Interface_VtableMethodsTakeTheirSlotsParametersAndHelpStrings)
{
    ComPtr<ITypeInfo> vtable = VtableInterface();
    ASSERT_TRUE(vtable);
    ExpectFunction(vtable.Get(), 0,
                   {1,
                    FUNC_PUREVIRTUAL,
                    7 * 4,
                    VT_HRESULT,
                    {L"IsInstalled", L"Installed"},
                    L"method IsInstalled",
                    {{VT_PTR, VT_BOOL, kOutRetval}}});
    ExpectFunction(vtable.Get(), 1,
                   {2,
                    FUNC_PUREVIRTUAL,
                    8 * 4,
                    VT_HRESULT,
                    {L"Authenticate", L"Domain", L"User", L"Valid"},
                    L"method Authenticate",
                    {{VT_BSTR, VT_EMPTY, kIn}, {VT_BSTR, VT_EMPTY, kIn}, {VT_PTR, VT_BOOL, kOutRetval}}});
}

TEST_F(TypeLibraryTest, Interface_DispatchHalfOffersBothMethodsByDispid)
{
    ComPtr<ITypeInfo> dispatch = TypeInfoAt(0);
    ASSERT_TRUE(dispatch);
    const TYPEATTR attributes = AttributesOf(dispatch.Get());
    // The seven inherited IDispatch functions come first, then the interface's own two.
    ASSERT_EQ(9, attributes.cFuncs);
    ExpectFunction(dispatch.Get(), 7, {1, FUNC_DISPATCH, 7 * 4, VT_BOOL, {L"IsInstalled"}, L"method IsInstalled", {}});
    ExpectFunction(dispatch.Get(), 8,
                   {2,
                    FUNC_DISPATCH,
                    8 * 4,
                    VT_BOOL,
                    {L"Authenticate", L"Domain", L"User"},
                    L"method Authenticate",
                    {{VT_BSTR, VT_EMPTY, kIn}, {VT_BSTR, VT_EMPTY, kIn}}});

    // Names map back to the DISPIDs 1 and 2.
    struct Row
    {
        const wchar_t* name;
        DISPID expected;
    };
    for (const Row& row : {Row{L"IsInstalled", 1}, Row{L"Authenticate", 2}})
    {
        SCOPED_TRACE(testing::Message() << "name " << testing::PrintToString(std::wstring(row.name)));
        LPOLESTR names[] = {const_cast<LPOLESTR>(row.name)};
        DISPID dispid = 0xdead;
        EXPECT_HR(S_OK, dispatch->GetIDsOfNames(names, 1, &dispid));
        EXPECT_EQ(row.expected, dispid);
    }
}

TEST_F(TypeLibraryTest, Class_IsCreatableWithTheInterfaceAsItsDefault)
{
    ComPtr<ITypeInfo> byClsid;
    ASSERT_HR(S_OK, m_library->GetTypeInfoOfGuid(CLSID_VRKsolutionAuthenticator, byClsid.Put()));
    ComPtr<ITypeInfo> second = TypeInfoAt(1);
    EXPECT_EQ(second.Get(), byClsid.Get());

    const TYPEATTR attributes = AttributesOf(byClsid.Get());
    EXPECT_EQ(L"{5A486531-0201-43E0-BD81-D544BB08D0DC}", GuidText(attributes.guid));
    EXPECT_EQ(TKIND_COCLASS, attributes.typekind);
    EXPECT_EQ(TYPEFLAG_FCANCREATE, attributes.wTypeFlags);
    EXPECT_EQ(0, attributes.wMajorVerNum);
    EXPECT_EQ(0, attributes.wMinorVerNum);
    ASSERT_EQ(1, attributes.cImplTypes);

    const Documentation documentation = DocumentationOf(byClsid.Get(), MEMBERID_NIL);
    EXPECT_EQ(L"VRKsolutionAuthenticator", documentation.name);
    EXPECT_EQ(L"VRKsolutionAuthenticator Class", documentation.helpString);

    INT flags = -1;
    ASSERT_HR(S_OK, byClsid->GetImplTypeFlags(0, &flags));
    EXPECT_EQ(IMPLTYPEFLAG_FDEFAULT, flags);
    HREFTYPE reference = 0;
    ASSERT_HR(S_OK, byClsid->GetRefTypeOfImplType(0, &reference));
    ComPtr<ITypeInfo> implemented;
    ASSERT_HR(S_OK, byClsid->GetRefTypeInfo(reference, implemented.Put()));
    EXPECT_EQ(GuidText(IID_IVRKsolutionAuthenticator1), GuidText(AttributesOf(implemented.Get()).guid));
}

} // namespace
} // namespace VrkTest
