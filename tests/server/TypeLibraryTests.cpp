// TypeLibraryTests.cpp: what the type library embedded in vrksolauth.dll says that no call through
// the server reaches (the dispatch and registration tests reach the rest): the class creatable with
// the dual interface as its default, the table's size and slots, and the parameters' flags.
#include "support/ServerTest.h"

namespace VrkTest
{
namespace
{

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

ComPtr<ITypeInfo> Referenced(ITypeInfo* info, UINT implementedIndex)
{
    HREFTYPE reference = 0;
    ComPtr<ITypeInfo> referenced;
    EXPECT_HR(S_OK, info->GetRefTypeOfImplType(implementedIndex, &reference));
    EXPECT_HR(S_OK, info->GetRefTypeInfo(reference, referenced.Put()));
    return referenced;
}

TEST(TypeLibrary, ClassIsCreatableWithTheDualAsDefault_InterfaceHasNineSlotsHResultsAndRetvals)
{
    ComPtr<ITypeLib> library;
    ComPtr<ITypeInfo> coclass, dispatch;
    ASSERT_HR(S_OK, ::LoadTypeLibEx(Widen(ProgramDirectory() + "vrksolauth.dll").c_str(), REGKIND_NONE, library.Put()));
    ASSERT_HR(S_OK, library->GetTypeInfoOfGuid(CLSID_VRKsolutionAuthenticator, coclass.Put()));
    ASSERT_HR(S_OK, library->GetTypeInfoOfGuid(IID_IVRKsolutionAuthenticator1, dispatch.Put()));
    const ComPtr<ITypeInfo> implemented = Referenced(coclass.Get(), 0), vtable = Referenced(dispatch.Get(), ~0u);
    ASSERT_TRUE(implemented && vtable);
    INT implementedFlags = -1;
    EXPECT_HR(S_OK, coclass->GetImplTypeFlags(0, &implementedFlags));
    const TYPEATTR theClass = AttributesOf(coclass.Get()), dual = AttributesOf(vtable.Get());
    const long kDual = TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE;
    const struct
    {
        const char* what;
        long expected, actual;
    } rows[] = {
        {"type descriptions", 2, static_cast<long>(library->GetTypeInfoCount())},
        {"class kind", TKIND_COCLASS, theClass.typekind},
        {"class flags", TYPEFLAG_FCANCREATE, theClass.wTypeFlags},
        {"class interfaces", 1, theClass.cImplTypes},
        {"class interface flags", IMPLTYPEFLAG_FDEFAULT, implementedFlags},
        {"class interface is the dual", true, AttributesOf(implemented.Get()).guid == IID_IVRKsolutionAuthenticator1},
        {"dispatch flags", kDual, AttributesOf(dispatch.Get()).wTypeFlags & kDual},
        {"interface kind", TKIND_INTERFACE, dual.typekind},
        {"interface flags", kDual | TYPEFLAG_FOLEAUTOMATION, dual.wTypeFlags},
        {"table size: IDispatch's seven slots and two methods", 9 * kSlotSize, dual.cbSizeVft},
        {"methods", 2, dual.cFuncs},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.expected, row.actual) << row.what;

    // IsInstalled(retval Installed), Authenticate(Domain, User, retval Valid): DISPIDs 1 and 2.
    const USHORT kIn = PARAMFLAG_FIN, kOutRetval = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;
    const std::vector<USHORT> parameterFlags[] = {{kOutRetval}, {kIn, kIn, kOutRetval}};
    for (UINT index = 0; index < 2; ++index)
    {
        SCOPED_TRACE(testing::Message() << "method " << index);
        FUNCDESC* function = nullptr;
        ASSERT_HR(S_OK, vtable->GetFuncDesc(index, &function));
        EXPECT_EQ(static_cast<MEMBERID>(index + 1), function->memid);
        EXPECT_EQ(static_cast<SHORT>((7 + index) * kSlotSize), function->oVft);
        EXPECT_EQ(VT_HRESULT, function->elemdescFunc.tdesc.vt);
        std::vector<USHORT> flags;
        for (SHORT parameter = 0; parameter < function->cParams; ++parameter)
            flags.push_back(function->lprgelemdescParam[parameter].paramdesc.wParamFlags);
        vtable->ReleaseFuncDesc(function);
        EXPECT_EQ(parameterFlags[index], flags);
    }
}

} // namespace
} // namespace VrkTest
