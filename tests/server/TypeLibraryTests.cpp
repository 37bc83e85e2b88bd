// TypeLibraryTests.cpp: the type library embedded in vrksolauth.dll, read back through the
// platform's reader and compared by content (the compiler stamps dates into the file).
#include "server/ServerTestSupport.h"

#include "Common/Utility/GuidText.h"
#include "Common/Utility/UniqueResource.h"

namespace VrkTest
{
namespace
{

using Veyrak::GuidText;
using Veyrak::UniqueBstr;

// TYPEATTR copied out, so that no path can forget ReleaseTypeAttr.
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

class TypeLibraryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const std::wstring path = Widen(ProgramDirectory() + "vrksolauth.dll");
        ASSERT_HR(S_OK, ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, m_library.Put()));
    }

    ComPtr<ITypeInfo> Referenced(ITypeInfo* info, UINT implementedIndex)
    {
        HREFTYPE reference = 0;
        ComPtr<ITypeInfo> referenced;
        EXPECT_HR(S_OK, info->GetRefTypeOfImplType(implementedIndex, &reference));
        EXPECT_HR(S_OK, info->GetRefTypeInfo(reference, referenced.Put()));
        return referenced;
    }

    ComPtr<ITypeLib> m_library;
};

TEST_F(TypeLibraryTest, Library_AttributesNamesAndTheInterfaceBeforeTheClass)
{
    TLIBATTR* attributes = nullptr;
    ASSERT_HR(S_OK, m_library->GetLibAttr(&attributes));
    EXPECT_EQ(L"{2C21A4B6-C51A-4990-B440-B0841534F73A}", GuidText(attributes->guid));
    EXPECT_EQ(1, attributes->wMajorVerNum);
    EXPECT_EQ(0, attributes->wMinorVerNum);
    EXPECT_EQ(0u, attributes->lcid);
    EXPECT_EQ(kNativeSysKind, attributes->syskind);
    m_library->ReleaseTLibAttr(attributes);

    ASSERT_EQ(2u, m_library->GetTypeInfoCount());
    struct Row
    {
        INT index;
        TYPEKIND kind; // a dual interface is listed by its dispatch half
        const wchar_t* guid;
        const wchar_t* name;
        const wchar_t* helpString;
    };
    const Row rows[] = {
        {-1, TKIND_MAX, nullptr, L"VRKSOLAUTHLib", L"vrksolauth 1.0 Type Library"},
        {0, TKIND_DISPATCH, L"{D57B64F7-8728-4717-BD9C-A09719A06BA0}", L"IVRKsolutionAuthenticator1",
         L"IVRKsolutionAuthenticator1 Interface"},
        {1, TKIND_COCLASS, L"{5A486531-0201-43E0-BD81-D544BB08D0DC}", L"VRKsolutionAuthenticator",
         L"VRKsolutionAuthenticator Class"},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(testing::Message() << "index " << row.index);
        UniqueBstr name, helpString;
        ASSERT_HR(S_OK, m_library->GetDocumentation(row.index, name.put(), helpString.put(), nullptr, nullptr));
        EXPECT_EQ(std::wstring(row.name), name.get());
        EXPECT_EQ(std::wstring(row.helpString), helpString.get());
        if (row.index >= 0)
        {
            ComPtr<ITypeInfo> info;
            ASSERT_HR(S_OK, m_library->GetTypeInfo(row.index, info.Put()));
            const TYPEATTR typeAttributes = AttributesOf(info.Get());
            EXPECT_EQ(row.kind, typeAttributes.typekind);
            EXPECT_EQ(std::wstring(row.guid), GuidText(typeAttributes.guid));
        }
    }
}

TEST_F(TypeLibraryTest, Interface_IsDualWithNineSlotsAndItsMethodsDispidsParameterNamesFlagsAndHelpStrings)
{
    ComPtr<ITypeInfo> dispatch;
    ASSERT_HR(S_OK, m_library->GetTypeInfoOfGuid(IID_IVRKsolutionAuthenticator1, dispatch.Put()));
    const WORD kDual = TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE;
    EXPECT_EQ(kDual, AttributesOf(dispatch.Get()).wTypeFlags & kDual);
    ComPtr<ITypeInfo> vtable = Referenced(dispatch.Get(), static_cast<UINT>(-1));
    ASSERT_TRUE(vtable);
    const TYPEATTR attributes = AttributesOf(vtable.Get());
    EXPECT_EQ(IID_IVRKsolutionAuthenticator1, attributes.guid);
    EXPECT_EQ(TKIND_INTERFACE, attributes.typekind);
    EXPECT_EQ(kDual | TYPEFLAG_FOLEAUTOMATION, attributes.wTypeFlags);
    EXPECT_EQ(9 * kSlotSize, attributes.cbSizeVft) << "IDispatch's seven slots and two methods";
    ASSERT_EQ(2, attributes.cFuncs);

    const USHORT kIn = PARAMFLAG_FIN, kOutRetval = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;
    struct Row
    {
        MEMBERID dispid;
        std::vector<std::wstring> names; // the method's, then its parameters'
        std::vector<USHORT> flags;
        const wchar_t* helpString;
    };
    const Row rows[] = {
        {1, {L"IsInstalled", L"Installed"}, {kOutRetval}, L"method IsInstalled"},
        {2, {L"Authenticate", L"Domain", L"User", L"Valid"}, {kIn, kIn, kOutRetval}, L"method Authenticate"},
    };
    for (UINT index = 0; index < 2; ++index)
    {
        SCOPED_TRACE(testing::Message() << "method " << index);
        const Row& row = rows[index];
        FUNCDESC* function = nullptr;
        ASSERT_HR(S_OK, vtable->GetFuncDesc(index, &function));
        EXPECT_EQ(row.dispid, function->memid);
        EXPECT_EQ(static_cast<SHORT>((7 + index) * kSlotSize), function->oVft);
        EXPECT_EQ(VT_HRESULT, function->elemdescFunc.tdesc.vt);
        std::vector<USHORT> flags;
        for (SHORT parameter = 0; parameter < function->cParams; ++parameter)
            flags.push_back(function->lprgelemdescParam[parameter].paramdesc.wParamFlags);
        vtable->ReleaseFuncDesc(function);
        EXPECT_EQ(row.flags, flags);

        BSTR names[8] = {};
        UINT count = 0;
        EXPECT_HR(S_OK, vtable->GetNames(row.dispid, names, 8, &count));
        std::vector<std::wstring> read;
        for (UINT name = 0; name < count; ++name)
            read.push_back(UniqueBstr(names[name]).get());
        EXPECT_EQ(row.names, read);
        UniqueBstr helpString;
        ASSERT_HR(S_OK, vtable->GetDocumentation(row.dispid, nullptr, helpString.put(), nullptr, nullptr));
        EXPECT_EQ(std::wstring(row.helpString), helpString.get());
    }
}

TEST_F(TypeLibraryTest, Class_IsCreatableWithTheInterfaceAsItsDefault)
{
    ComPtr<ITypeInfo> coclass;
    ASSERT_HR(S_OK, m_library->GetTypeInfoOfGuid(CLSID_VRKsolutionAuthenticator, coclass.Put()));
    const TYPEATTR attributes = AttributesOf(coclass.Get());
    EXPECT_EQ(TKIND_COCLASS, attributes.typekind);
    EXPECT_EQ(TYPEFLAG_FCANCREATE, attributes.wTypeFlags);
    ASSERT_EQ(1, attributes.cImplTypes);
    INT flags = -1;
    ASSERT_HR(S_OK, coclass->GetImplTypeFlags(0, &flags));
    EXPECT_EQ(IMPLTYPEFLAG_FDEFAULT, flags);
    ComPtr<ITypeInfo> implemented = Referenced(coclass.Get(), 0);
    ASSERT_TRUE(implemented);
    EXPECT_EQ(IID_IVRKsolutionAuthenticator1, AttributesOf(implemented.Get()).guid);
}

} // namespace
} // namespace VrkTest
