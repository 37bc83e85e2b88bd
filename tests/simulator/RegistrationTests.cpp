// Tests of vrksimulator.dll's registration and of its refusal to displace other files.
#include "SimulatorTestSupport.h"

#include <algorithm>
#include <cctype>

using namespace VrkTest;

namespace
{

constexpr HRESULT kRegisteredToAnotherFile = HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
const char kForeignServer[] = "C:\\Program Files\\VEYRAK\\VRKSolution\\vrkhandles.dll";

std::string InprocServer(const char* classKey)
{
    return ReadString(HKEY_CLASSES_ROOT, std::string(classKey) + "\\InprocServer32");
}

void WriteDefault(const std::string& path, const std::string& text)
{
    CreateKey(HKEY_CLASSES_ROOT, path);
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_ALL_ACCESS, &key));
    ::RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>(text.size() + 1));
    ::RegCloseKey(key);
}

class RegistrationTest : public SimulatorTest
{
protected:
    void ExpectRegistered(const char* classKey, const char* description)
    {
        SCOPED_TRACE(classKey);
        EXPECT_EQ(description, ReadString(HKEY_CLASSES_ROOT, classKey));
        EXPECT_EQ(SimulatorDll::Path(), InprocServer(classKey));
        EXPECT_EQ("Both", ReadString(HKEY_CLASSES_ROOT, std::string(classKey) + "\\InprocServer32", "ThreadingModel"));
    }

    SimulatorDll m_dll;
};

} // namespace

TEST_F(RegistrationTest, Register_WritesBothClassesAndWorksTwice)
{
    ASSERT_HR(S_OK, m_dll.RegisterServer());
    ExpectRegistered(kSingleSignOnClassKey, "VRKsolution Simulator single sign-on component");
    ExpectRegistered(kHandleManagerClassKey, "VRKsolution Simulator handle manager");

    EXPECT_HR(S_OK, m_dll.RegisterServer()) << "registering over its own registration";
    ExpectRegistered(kSingleSignOnClassKey, "VRKsolution Simulator single sign-on component");
    ExpectRegistered(kHandleManagerClassKey, "VRKsolution Simulator handle manager");
}

TEST_F(RegistrationTest, Register_OverItsOwnPathInAnotherCase_Works)
{
    std::string path = SimulatorDll::Path();
    std::transform(path.begin(), path.end(), path.begin(), [](unsigned char c) { return std::toupper(c); });
    WriteDefault(std::string(kSingleSignOnClassKey) + "\\InprocServer32", path);

    EXPECT_HR(S_OK, m_dll.RegisterServer());
    ExpectRegistered(kSingleSignOnClassKey, "VRKsolution Simulator single sign-on component");
}

TEST_F(RegistrationTest, Unregister_RemovesBothClassesAndKeepsClsid)
{
    ASSERT_HR(S_OK, m_dll.RegisterServer());
    EXPECT_HR(S_OK, m_dll.UnregisterServer());
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kSingleSignOnClassKey));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kHandleManagerClassKey));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "CLSID"));

    EXPECT_HR(S_OK, m_dll.UnregisterServer()) << "unregistering what is not registered";
}

TEST_F(RegistrationTest, ClassRegisteredToAnotherFile_IsNeitherDisplacedNorRemoved)
{
    WriteDefault(kHandleManagerClassKey, "the product's handle manager");
    WriteDefault(std::string(kHandleManagerClassKey) + "\\InprocServer32", kForeignServer);

    EXPECT_HR(kRegisteredToAnotherFile, m_dll.RegisterServer());
    EXPECT_EQ(kForeignServer, InprocServer(kHandleManagerClassKey));
    EXPECT_EQ("the product's handle manager", ReadString(HKEY_CLASSES_ROOT, kHandleManagerClassKey));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kSingleSignOnClassKey)) << "a refused registration writes nothing";

    // Our own class is removed, the other file's is left alone, and the caller learns of it.
    WriteDefault(std::string(kSingleSignOnClassKey) + "\\InprocServer32", SimulatorDll::Path());
    EXPECT_HR(kRegisteredToAnotherFile, m_dll.UnregisterServer());
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kSingleSignOnClassKey));
    EXPECT_EQ(kForeignServer, InprocServer(kHandleManagerClassKey));
}

TEST_F(RegistrationTest, ClassWithALocalServer_IsNotDisplaced)
{
    WriteDefault(std::string(kSingleSignOnClassKey) + "\\LocalServer32", "C:\\VEYRAK\\vrksso.exe");

    EXPECT_HR(kRegisteredToAnotherFile, m_dll.RegisterServer());
    EXPECT_EQ("<missing>", InprocServer(kSingleSignOnClassKey));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kHandleManagerClassKey));
}
