// Tests of the 64-bit server's unregistration beside the 32-bit registration, planted in the 32-bit
// registry view: what the other view's server shares is put back only when
// that server is this product's own DLL signed by the maker, and only this class's ProgIDs.
#include "support/MachineClasses.h"
#include "support/ServerTest.h"

using namespace VrkTest;

namespace
{

const std::string kClassKey = MachineClassKey(CLSID_VRKsolutionAuthenticator);
const std::string kProgIds[] = {"SOFTWARE\\Classes\\Vrksolauth.VRKsolutionAuthenticator.1",
                                "SOFTWARE\\Classes\\Vrksolauth.VRKsolutionAuthenticator"};
const std::string kLibraryKey = "SOFTWARE\\Classes\\TypeLib\\{2C21A4B6-C51A-4990-B440-B0841534F73A}";

// The other view's class key, as the other architecture's registration would write it.
void PlantOtherView(const std::string& server, const std::string& progId)
{
    Veyrak::UniqueHkey key;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kClassKey.c_str(), 0, nullptr, 0,
                                               KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, key.put(), nullptr));
    const std::pair<const char*, std::string> values[] = {
        {"InprocServer32", server},
        {"ProgID", progId},
        {"VersionIndependentProgID", "Vrksolauth.VRKsolutionAuthenticator"}};
    for (const auto& [name, text] : values)
        ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueA(key.get(), name, nullptr, REG_SZ, text.c_str(),
                                                   static_cast<DWORD>(text.size() + 1)));
}

void RemoveEverything()
{
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kLibraryKey.c_str());
    for (const std::string& progId : kProgIds)
        DeleteTree(HKEY_LOCAL_MACHINE, progId);
    Veyrak::UniqueHkey classes;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\CLSID", 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY,
                        classes.put()) == ERROR_SUCCESS)
        ::RegDeleteTreeA(classes.get(), kClassKey.substr(kClassKey.rfind('\\') + 1).c_str());
    ::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kClassKey.c_str(), KEY_WOW64_32KEY, 0);
    RemoveClass(CLSID_VRKsolutionAuthenticator);
}

class SideBySideTest : public ServerTest
{
protected:
    void SetUp() override
    {
        ServerTest::SetUp();
        RemoveEverything();
        ASSERT_HR(S_OK, m_dll.RegisterServer());
    }
    void TearDown() override
    {
        RemoveEverything();
        ServerTest::TearDown();
    }
};

} // namespace

// The other view names this product's signed DLL: its ProgIDs and its type library come back, but
// not a key that its class key names besides them ("CLSID" would bring back this view's class key).
TEST_F(SideBySideTest, OtherViewWithTheSignedServer_KeepsItsTypeLibraryAndOnlyThisClassesProgIds)
{
    const std::string signedServer = ProgramDirectory() + "..\\signed\\vrksolauth.dll";
    char full[MAX_PATH] = {};
    ASSERT_NE(0u, ::GetFullPathNameA(signedServer.c_str(), MAX_PATH, full, nullptr));
    PlantOtherView(full, "CLSID");
    EXPECT_HR(S_OK, m_dll.UnregisterServer());
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kClassKey)) << "this view's class key came back";
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProgIds[0])) << "a ProgID the other view does not name";
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kProgIds[1])) << "the other view's ProgID is gone";
    EXPECT_EQ(std::string(full), ReadString(HKEY_LOCAL_MACHINE, kLibraryKey + "\\1.0\\0\\win64"));
}

// The other view names a file that is not the maker's signed DLL (a copy of this product's own code,
// unsigned, and a file that does not exist): unregistering registers nothing of it.
TEST_F(SideBySideTest, OtherViewWithAForeignFile_RegistersNothingOfIt)
{
    const std::string unsignedCopy = ProgramDirectory() + "unsigned-copy-of-vrksolauth.dll";
    ASSERT_TRUE(::CopyFileA(m_dll.Path().c_str(), unsignedCopy.c_str(), FALSE));
    for (const std::string& server : {unsignedCopy, ProgramDirectory() + "missing\\vrksolauth.dll"})
    {
        SCOPED_TRACE(server);
        ASSERT_HR(S_OK, m_dll.RegisterServer());
        PlantOtherView(server, "Vrksolauth.VRKsolutionAuthenticator.1");
        EXPECT_HR(S_OK, m_dll.UnregisterServer());
        for (const std::string& key : {kLibraryKey, kProgIds[0], kProgIds[1]})
            EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key)) << key;
    }
}
