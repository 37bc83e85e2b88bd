// Tests of DllRegisterServer and DllUnregisterServer: the registry entries that the
// carried script writes and removes, and the type library's registration.
#include "support/ServerTest.h"

using namespace VrkTest;

namespace
{

const std::string kClassId = "{5A486531-0201-43E0-BD81-D544BB08D0DC}", kClassKey = "CLSID\\" + kClassId;
const std::string kProgId = "Vrksolauth.VRKsolutionAuthenticator.1",
                  kIndependentProgId = "Vrksolauth.VRKsolutionAuthenticator";
const std::string kClassName = "VRKsolutionAuthenticator Class";
const std::string kLibraryKey = "TypeLib\\{2C21A4B6-C51A-4990-B440-B0841534F73A}\\1.0",
                  kLibraryFile = kLibraryKey + (sizeof(void*) == 8 ? "\\0\\win64" : "\\0\\win32");
const std::string kInterfaceKey = "Interface\\{D57B64F7-8728-4717-BD9C-A09719A06BA0}";

// Everything below each key that registration writes, each line after its key's name.
std::multiset<std::string> RegisteredEntries()
{
    std::multiset<std::string> lines;
    for (const std::string& key : {kClassKey, kProgId, kIndependentProgId, kLibraryKey, kInterfaceKey})
        for (const std::string& line : RegistryTree(HKEY_CLASSES_ROOT, key))
            lines.insert(key + ">" + line);
    return lines;
}

bool TypeLibraryRegistered()
{
    ComPtr<ITypeLib> library;
    return SUCCEEDED(::LoadRegTypeLib(LIBID_VRKSOLAUTHLib, 1, 0, 0, library.Put()));
}

class RegistrationTest : public ServerTest
{
protected:
    void TearDown() override
    {
        m_dll.UnregisterServer();
        DeleteTree(HKEY_CLASSES_ROOT, kClassKey);
        ServerTest::TearDown();
    }
};

} // namespace

// Registering twice leaves one set of entries and drops a stray one; unregistering, also with
// nothing registered, removes them all but the shared CLSID key.
TEST_F(RegistrationTest, RegisterTwiceAndUnregisterTwice_WriteAndRemoveExactlyTheEntriesAndTheTypeLibrary)
{
    EXPECT_HR(S_OK, m_dll.UnregisterServer());
    ASSERT_HR(S_OK, m_dll.RegisterServer());
    CreateKey(HKEY_CLASSES_ROOT, kClassKey + "\\Stray");
    ASSERT_HR(S_OK, m_dll.RegisterServer());

    const std::pair<std::string, std::multiset<std::string>> trees[] = {
        {kClassKey,
         {".:@=S:" + kClassName, "InprocServer32", "InprocServer32:@=S:" + m_dll.Path(),
          "InprocServer32:ThreadingModel=S:Both", "ProgID", "ProgID:@=S:" + kProgId, "Programmable", "TypeLib",
          "TypeLib:@=S:{2C21A4B6-C51A-4990-B440-B0841534F73A}", "VersionIndependentProgID",
          "VersionIndependentProgID:@=S:" + kIndependentProgId}},
        {kProgId, {".:@=S:" + kClassName, "CLSID", "CLSID:@=S:" + kClassId}},
        {kIndependentProgId,
         {".:@=S:" + kClassName, "CLSID", "CLSID:@=S:" + kClassId, "CurVer", "CurVer:@=S:" + kProgId}},
    };
    for (const auto& [key, tree] : trees)
        EXPECT_EQ(tree, RegistryTree(HKEY_CLASSES_ROOT, key)) << key;
    EXPECT_EQ(m_dll.Path(), ReadString(HKEY_CLASSES_ROOT, kLibraryFile));
    EXPECT_TRUE(TypeLibraryRegistered());

    for (int round = 0; round < 2; ++round)
        EXPECT_HR(S_OK, m_dll.UnregisterServer());
    EXPECT_EQ(std::multiset<std::string>(), RegisteredEntries()) << "left after unregistering";
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "CLSID"));
    EXPECT_FALSE(TypeLibraryRegistered());
}

// No lasting key can be made below a volatile one, so the script fails at the ProgID's CLSID key.
TEST_F(RegistrationTest, FailingScript_FailsTheExportAndLeavesTheTypeLibraryUnregistered)
{
    {
        Veyrak::UniqueHkey volatileKey;
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_CLASSES_ROOT, kProgId.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                                                   KEY_ALL_ACCESS, nullptr, volatileKey.put(), nullptr));
    }
    const HRESULT result = m_dll.RegisterServer();
    DeleteTree(HKEY_CLASSES_ROOT, kProgId);
    EXPECT_TRUE(FAILED(result)) << HResultText(result);
    EXPECT_FALSE(TypeLibraryRegistered());
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClassKey));
}

// A DLL built without its type library resource registers the ".tlb" file beside it, named
// after the DLL whatever dots its folder's name holds.
TEST(RegistrationFallback, WithoutTypeLibraryResource_RegistersTheTlbBesideTheDll)
{
    const std::string folder = ProgramDirectory() + "fallback.v1\\";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    for (const char* file : {"vrksolauth_without_typelib.dll", "vrksolauth_without_typelib.tlb"})
        ASSERT_TRUE(::CopyFileA((ProgramDirectory() + file).c_str(), (folder + file).c_str(), FALSE)) << file;
    ComApartment apartment;
    ServerDll dll("fallback.v1\\vrksolauth_without_typelib.dll");
    ASSERT_HR(S_OK, dll.RegisterServer());
    EXPECT_EQ(folder + "vrksolauth_without_typelib.tlb", ReadString(HKEY_CLASSES_ROOT, kLibraryFile));
    EXPECT_EQ(folder, ReadString(HKEY_CLASSES_ROOT, kLibraryKey + "\\HELPDIR"));
    EXPECT_TRUE(TypeLibraryRegistered());
    EXPECT_HR(S_OK, dll.UnregisterServer());
    EXPECT_FALSE(TypeLibraryRegistered());
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClassKey));
}

// A copy two 130-character folders deep has its module name cut at MAX_PATH: both exports must
// refuse it rather than write the cut path over the working registration or remove any of it.
TEST_F(RegistrationTest, CopyInAFolderOf260CharactersOrMore_RefusesBothExportsAndWritesNothing)
{
    ASSERT_HR(S_OK, m_dll.RegisterServer());
    const std::multiset<std::string> registered = RegisteredEntries();
    const std::wstring folder = L"\\\\?\\" + Widen(ProgramDirectory()) + std::wstring(130, L'n'),
                       nested = folder + L"\\" + std::wstring(130, L'n'), copy = nested + L"\\vrksolauth.dll";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    ::CreateDirectoryW(nested.c_str(), nullptr);
    ASSERT_TRUE(::CopyFileW(Widen(m_dll.Path()).c_str(), copy.c_str(), FALSE));
    const HMODULE module = ::LoadLibraryW(copy.c_str());
    ASSERT_NE(nullptr, module);
    for (const char* name : {"DllRegisterServer", "DllUnregisterServer"})
    {
        const auto function =
            reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
        EXPECT_HR(HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE), function ? function() : S_OK) << name;
        EXPECT_EQ(registered, RegisteredEntries()) << name;
    }
    ::FreeLibrary(module);
    ::DeleteFileW(copy.c_str());
    for (const std::wstring& made : {nested, folder})
        ::RemoveDirectoryW(made.c_str());
}
