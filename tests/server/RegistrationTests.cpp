// Tests of DllRegisterServer and DllUnregisterServer: the registry entries that the
// carried script writes and removes, and the type library's registration.
#include "support/ServerDll.h"
#include "support/TestSupport.h"

#include "vrksolauth.h"

#include <oleauto.h>

#include <algorithm>
#include <vector>

using namespace VrkTest;

namespace
{

const std::string kClassKey = "CLSID\\{5A486531-0201-43E0-BD81-D544BB08D0DC}";
const std::string kProgId = "Vrksolauth.VRKsolutionAuthenticator.1";
const std::string kIndependentProgId = "Vrksolauth.VRKsolutionAuthenticator";
const char kClassName[] = "VRKsolutionAuthenticator Class";
const char kClassId[] = "{5A486531-0201-43E0-BD81-D544BB08D0DC}";
const char kLibraryId[] = "{2C21A4B6-C51A-4990-B440-B0841534F73A}";

std::vector<std::string> Subkeys(HKEY root, const std::string& path)
{
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    char name[256];
    for (DWORD index = 0;; ++index)
    {
        DWORD length = sizeof name;
        if (::RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    ::RegCloseKey(key);
    std::sort(names.begin(), names.end());
    return names;
}

bool TypeLibraryRegistered()
{
    ITypeLib* library = nullptr;
    if (FAILED(::LoadRegTypeLib(LIBID_VRKSOLAUTHLib, 1, 0, 0, &library)))
        return false;
    library->Release();
    return true;
}

std::string RegisteredTypeLibraryPath()
{
    return ReadString(HKEY_CLASSES_ROOT, std::string("TypeLib\\") + kLibraryId + "\\1.0\\0\\win32");
}

class RegistrationTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        m_dll.UnregisterServer();
        DeleteTree(HKEY_CLASSES_ROOT, kClassKey);
    }

    void ExpectEveryEntryOfTheClass(const std::string& serverPath)
    {
        EXPECT_EQ(kClassName, ReadString(HKEY_CLASSES_ROOT, kProgId));
        EXPECT_EQ(kClassId, ReadString(HKEY_CLASSES_ROOT, kProgId + "\\CLSID"));
        EXPECT_EQ(kClassName, ReadString(HKEY_CLASSES_ROOT, kIndependentProgId));
        EXPECT_EQ(kClassId, ReadString(HKEY_CLASSES_ROOT, kIndependentProgId + "\\CLSID"));
        EXPECT_EQ(kProgId, ReadString(HKEY_CLASSES_ROOT, kIndependentProgId + "\\CurVer"));
        EXPECT_EQ(kClassName, ReadString(HKEY_CLASSES_ROOT, kClassKey));
        EXPECT_EQ(kProgId, ReadString(HKEY_CLASSES_ROOT, kClassKey + "\\ProgID"));
        EXPECT_EQ(kIndependentProgId, ReadString(HKEY_CLASSES_ROOT, kClassKey + "\\VersionIndependentProgID"));
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kClassKey + "\\Programmable"));
        EXPECT_EQ(serverPath, ReadString(HKEY_CLASSES_ROOT, kClassKey + "\\InprocServer32"));
        EXPECT_EQ("Both", ReadString(HKEY_CLASSES_ROOT, kClassKey + "\\InprocServer32", "ThreadingModel"));
        EXPECT_EQ(kLibraryId, ReadString(HKEY_CLASSES_ROOT, kClassKey + "\\TypeLib"));
        const std::vector<std::string> expected = {"InprocServer32", "ProgID", "Programmable", "TypeLib",
                                                   "VersionIndependentProgID"};
        EXPECT_EQ(expected, Subkeys(HKEY_CLASSES_ROOT, kClassKey));
    }

    ComApartment m_apartment;
    ServerDll m_dll;
};

} // namespace

TEST_F(RegistrationTest, RegisterTwice_LeavesExactlyOneSetOfEntriesAndTheTypeLibrary)
{
    ASSERT_HR(S_OK, m_dll.RegisterServer());
    // A stray subkey under the class key is gone after the next registration.
    CreateKey(HKEY_CLASSES_ROOT, kClassKey + "\\Stray");
    ASSERT_HR(S_OK, m_dll.RegisterServer());

    ExpectEveryEntryOfTheClass(m_dll.Path());
    EXPECT_TRUE(TypeLibraryRegistered());
    EXPECT_EQ(m_dll.Path(), RegisteredTypeLibraryPath());
}

TEST_F(RegistrationTest, Unregister_RemovesTheClassAndProgIdsKeepsClsidAndUnregistersTheTypeLibrary)
{
    ASSERT_HR(S_OK, m_dll.RegisterServer());
    ASSERT_TRUE(TypeLibraryRegistered());
    EXPECT_HR(S_OK, m_dll.UnregisterServer());

    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kProgId));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kIndependentProgId));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClassKey));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "CLSID"));
    EXPECT_FALSE(TypeLibraryRegistered());
}

TEST_F(RegistrationTest, UnregisterWithoutRegistration_Succeeds)
{
    EXPECT_HR(S_OK, m_dll.UnregisterServer());
    EXPECT_HR(S_OK, m_dll.UnregisterServer());
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClassKey));
}

TEST_F(RegistrationTest, Registered_ClassIsCreatableByBothProgIds)
{
    ASSERT_HR(S_OK, m_dll.RegisterServer());
    for (const wchar_t* progId : {L"Vrksolauth.VRKsolutionAuthenticator.1", L"Vrksolauth.VRKsolutionAuthenticator"})
    {
        CLSID clsid = GUID_NULL;
        ASSERT_HR(S_OK, ::CLSIDFromProgID(progId, &clsid));
        EXPECT_TRUE(::IsEqualCLSID(CLSID_VRKsolutionAuthenticator, clsid));
        IVRKsolutionAuthenticator1* object = nullptr;
        ASSERT_HR(S_OK, ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IVRKsolutionAuthenticator1,
                                           reinterpret_cast<void**>(&object)));
        object->Release();
    }
}

// A DLL built without its type library resource registers the ".tlb" file beside it.
TEST(RegistrationFallback, WithoutTypeLibraryResource_RegistersTheTlbBesideTheDll)
{
    ComApartment apartment;
    ServerDll dll("vrksolauth_without_typelib.dll");
    ASSERT_HR(S_OK, dll.RegisterServer());
    std::string expected = dll.Path();
    expected = expected.substr(0, expected.rfind('.')) + ".tlb";
    EXPECT_EQ(expected, RegisteredTypeLibraryPath());
    const std::string helpDirectory = expected.substr(0, expected.find_last_of('\\') + 1);
    EXPECT_EQ(helpDirectory, ReadString(HKEY_CLASSES_ROOT, std::string("TypeLib\\") + kLibraryId + "\\1.0\\HELPDIR"));
    EXPECT_TRUE(TypeLibraryRegistered());
    EXPECT_HR(S_OK, dll.UnregisterServer());
    EXPECT_FALSE(TypeLibraryRegistered());
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClassKey));
}
