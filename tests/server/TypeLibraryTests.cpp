// TypeLibraryTests.cpp: what the type library embedded in vrksolauth.dll says that no call through
// the server reaches: the class creatable with the dual interface, and the table's size. Calls reach
// the rest: DISPIDs and parameters by Invoke (the dispatch tests, vrkauth --late-bound, the scripts),
// each method's slot by the proxies of the apartment tests. Not whether the interface is the class's
// [default]: widl marks a class's only interface so either way.
#include "support/ServerTest.h"

using namespace VrkTest;

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

TEST(TypeLibrary, ClassIsCreatableWithTheDual_InterfaceHasNineSlots)
{
    ComPtr<ITypeLib> library;
    ComPtr<ITypeInfo> coclass, dispatch;
    ASSERT_HR(S_OK, ::LoadTypeLibEx(Widen(ProgramDirectory() + "vrksolauth.dll").c_str(), REGKIND_NONE, library.Put()));
    ASSERT_HR(S_OK, library->GetTypeInfoOfGuid(CLSID_VRKsolutionAuthenticator, coclass.Put()));
    ASSERT_HR(S_OK, library->GetTypeInfoOfGuid(IID_IVRKsolutionAuthenticator1, dispatch.Put()));
    const ComPtr<ITypeInfo> implemented = Referenced(coclass.Get(), 0), vtable = Referenced(dispatch.Get(), ~0u);
    ASSERT_TRUE(implemented && vtable);
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
        {"class interface is the dual", true, AttributesOf(implemented.Get()).guid == IID_IVRKsolutionAuthenticator1},
        {"dispatch flags", kDual, AttributesOf(dispatch.Get()).wTypeFlags & kDual},
        {"interface kind", TKIND_INTERFACE, dual.typekind},
        {"interface flags", kDual | TYPEFLAG_FOLEAUTOMATION, dual.wTypeFlags},
        {"table size: IDispatch's seven slots and two methods", 9 * static_cast<long>(sizeof(void*)), dual.cbSizeVft},
        {"methods", 2, dual.cFuncs},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.expected, row.actual) << row.what;
}

} // namespace
