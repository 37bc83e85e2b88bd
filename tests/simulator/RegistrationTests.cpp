// Tests of vrksimulator.dll's registration and of its refusal to displace other files.
#include "SimulatorTestSupport.h"

#include <algorithm>
#include <cctype>

using namespace VrkTest;

constexpr HRESULT kRegisteredToAnotherFile = HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
using RegistrationTest = SimulatorTest;

// Its own registration, also in another case, is registered over and removed; a class registered to
// another file is neither displaced nor removed, while its own class still goes.
TEST_F(RegistrationTest, RegisterAndUnregister_HandleItsOwnRegistration_AndLeaveAnotherFilesAlone)
{
    const auto expectRegistered = [&]
    {
        for (const std::string classKey : {kSingleSignOnClassKey, kHandleManagerClassKey})
        {
            SCOPED_TRACE(classKey);
            EXPECT_EQ(0u, ReadString(HKEY_CLASSES_ROOT, classKey).find("VRKsolution Simulator "));
            EXPECT_EQ(m_dll.Path(), ReadString(HKEY_CLASSES_ROOT, classKey + "\\InprocServer32"));
            EXPECT_EQ("Both", ReadString(HKEY_CLASSES_ROOT, classKey + "\\InprocServer32", "ThreadingModel"));
        }
    };
    ASSERT_HR(S_OK, m_dll.RegisterServer());
    expectRegistered();
    std::string path = m_dll.Path();
    std::transform(path.begin(), path.end(), path.begin(), [](unsigned char c) { return std::toupper(c); });
    WriteString(HKEY_CLASSES_ROOT, std::string(kSingleSignOnClassKey) + "\\InprocServer32", "", path);
    EXPECT_HR(S_OK, m_dll.RegisterServer()) << "registering over its own registration";
    expectRegistered();
    EXPECT_HR(S_OK, m_dll.UnregisterServer());
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kSingleSignOnClassKey));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kHandleManagerClassKey));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "CLSID"));
    EXPECT_HR(S_OK, m_dll.UnregisterServer()) << "unregistering what is not registered";

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
        WriteString(HKEY_CLASSES_ROOT, std::string(kSingleSignOnClassKey) + "\\InprocServer32", "", m_dll.Path());
        EXPECT_HR(kRegisteredToAnotherFile, m_dll.UnregisterServer());
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kSingleSignOnClassKey));
        EXPECT_EQ(server, ReadString(HKEY_CLASSES_ROOT, foreignKey + subkey));
        EXPECT_EQ("the product's handle manager", ReadString(HKEY_CLASSES_ROOT, foreignKey));
    }
}
