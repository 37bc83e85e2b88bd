// Tests of vrksimulator.dll's registration and of its refusal to displace other files.
#include "SimulatorTestSupport.h"

#include <algorithm>
#include <cctype>

using namespace VrkTest;

namespace
{

constexpr HRESULT kRegisteredToAnotherFile = HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);

class RegistrationTest : public SimulatorTest
{
protected:
    void ExpectRegistered()
    {
        for (const char* classKey : {kSingleSignOnClassKey, kHandleManagerClassKey})
        {
            SCOPED_TRACE(classKey);
            EXPECT_EQ(0u, ReadString(HKEY_CLASSES_ROOT, classKey).find("VRKsolution Simulator "));
            EXPECT_EQ(m_dll.Path(), ReadString(HKEY_CLASSES_ROOT, std::string(classKey) + "\\InprocServer32"));
            EXPECT_EQ("Both",
                      ReadString(HKEY_CLASSES_ROOT, std::string(classKey) + "\\InprocServer32", "ThreadingModel"));
        }
    }
};

} // namespace

TEST_F(RegistrationTest, RegisterAndUnregister_HandleItsOwnRegistrationAgainAndInAnotherCase)
{
    ASSERT_HR(S_OK, m_dll.RegisterServer());
    ExpectRegistered();
    std::string path = m_dll.Path();
    std::transform(path.begin(), path.end(), path.begin(), [](unsigned char c) { return std::toupper(c); });
    WriteString(HKEY_CLASSES_ROOT, std::string(kSingleSignOnClassKey) + "\\InprocServer32", "", path);
    EXPECT_HR(S_OK, m_dll.RegisterServer()) << "registering over its own registration";
    ExpectRegistered();

    EXPECT_HR(S_OK, m_dll.UnregisterServer());
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kSingleSignOnClassKey));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kHandleManagerClassKey));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "CLSID"));
    EXPECT_HR(S_OK, m_dll.UnregisterServer()) << "unregistering what is not registered";
}

TEST_F(RegistrationTest, ClassRegisteredToAnotherFile_IsNeitherDisplacedNorRemoved)
{
    const std::pair<const char*, const char*> servers[] = {
        {"\\InprocServer32", "C:\\Program Files\\VEYRAK\\VRKSolution\\vrkhandles.dll"},
        {"\\LocalServer32", "C:\\Program Files\\VEYRAK\\VRKSolution\\vrkhandles.exe"}};
    const std::string foreignKey = kHandleManagerClassKey;
    for (const auto& [subkey, server] : servers)
    {
        SCOPED_TRACE(subkey);
        RemoveEverything();
        WriteString(HKEY_CLASSES_ROOT, foreignKey, "", "the product's handle manager");
        WriteString(HKEY_CLASSES_ROOT, foreignKey + subkey, "", server);
        EXPECT_HR(kRegisteredToAnotherFile, m_dll.RegisterServer());
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kSingleSignOnClassKey)) << "a refused registration writes nothing";

        // Its own class goes, the other file's stays, and the caller learns of it.
        WriteString(HKEY_CLASSES_ROOT, std::string(kSingleSignOnClassKey) + "\\InprocServer32", "", m_dll.Path());
        EXPECT_HR(kRegisteredToAnotherFile, m_dll.UnregisterServer());
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kSingleSignOnClassKey));
        EXPECT_EQ(server, ReadString(HKEY_CLASSES_ROOT, foreignKey + subkey));
        EXPECT_EQ("the product's handle manager", ReadString(HKEY_CLASSES_ROOT, foreignKey));
    }
}
