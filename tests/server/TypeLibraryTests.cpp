// TypeLibraryTests.cpp: the type library embedded in vrksolauth.dll, read back through the
// platform's reader: what early- and late-bound clients bind to (the compiler stamps dates into
// the file, so it is compared by content).
#include "server/ServerTestSupport.h"

#include "Common/Utility/GuidText.h"
#include "Common/Utility/UniqueResource.h"

#include <tuple>

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

// What clients bind to: the library's identity, the interface before the class, and the class
// creatable with the interface as its default.
TEST_F(TypeLibraryTest, Library_IdentityAndTheInterfaceBeforeTheCreatableClass)
{
    TLIBATTR* attributes = nullptr;
    ASSERT_HR(S_OK, m_library->GetLibAttr(&attributes));
    const TLIBATTR library = *attributes;
    m_library->ReleaseTLibAttr(attributes);
    EXPECT_EQ(L"{2C21A4B6-C51A-4990-B440-B0841534F73A}", GuidText(library.guid));
    EXPECT_EQ(std::make_tuple(1, 0, 0u, kNativeSysKind),
              std::make_tuple(library.wMajorVerNum, library.wMinorVerNum, library.lcid, library.syskind));

    ASSERT_EQ(2u, m_library->GetTypeInfoCount());
    const std::tuple<TYPEKIND, const IID*, const wchar_t*> rows[] = {
        {TKIND_DISPATCH, &IID_IVRKsolutionAuthenticator1, L"IVRKsolutionAuthenticator1"},
        {TKIND_COCLASS, &CLSID_VRKsolutionAuthenticator, L"VRKsolutionAuthenticator"},
    };
    for (UINT index = 0; index < 2; ++index)
    {
        SCOPED_TRACE(testing::Message() << "index " << index);
        const auto& [kind, guid, name] = rows[index];
        ComPtr<ITypeInfo> info;
        ASSERT_HR(S_OK, m_library->GetTypeInfo(index, info.Put()));
        const TYPEATTR typeAttributes = AttributesOf(info.Get());
        EXPECT_EQ(kind, typeAttributes.typekind);
        EXPECT_EQ(*guid, typeAttributes.guid);
        UniqueBstr documented;
        ASSERT_HR(S_OK,
                  m_library->GetDocumentation(static_cast<INT>(index), documented.put(), nullptr, nullptr, nullptr));
        EXPECT_EQ(std::wstring(name), documented.get());
        if (kind == TKIND_COCLASS)
        {
            EXPECT_EQ(TYPEFLAG_FCANCREATE, typeAttributes.wTypeFlags);
            ASSERT_EQ(1, typeAttributes.cImplTypes);
            INT flags = -1;
            ASSERT_HR(S_OK, info->GetImplTypeFlags(0, &flags));
            EXPECT_EQ(IMPLTYPEFLAG_FDEFAULT, flags);
            ComPtr<ITypeInfo> implemented = Referenced(info.Get(), 0);
            ASSERT_TRUE(implemented);
            EXPECT_EQ(IID_IVRKsolutionAuthenticator1, AttributesOf(implemented.Get()).guid);
        }
    }
}

TEST_F(TypeLibraryTest, Interface_IsDualWithNineSlotsAndItsMethodsDispidsParameterNamesAndFlags)
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
    };
    const Row rows[] = {
        {1, {L"IsInstalled", L"Installed"}, {kOutRetval}},
        {2, {L"Authenticate", L"Domain", L"User", L"Valid"}, {kIn, kIn, kOutRetval}},
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
    }
}

} // namespace
} // namespace VrkTest
