// TestSupport.h: helpers that every test program shares.
#pragma once

#include "Common/Utility/TextConversion.h"
#include "Common/Utility/UniqueResource.h"
#include "authenticator/ProductKey.h"
#include "support/ServerLibrary.h"

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#define EXPECT_HR(expected, actual) EXPECT_PRED_FORMAT2(::VrkTest::HResultEquals, expected, actual)
#define ASSERT_HR(expected, actual) ASSERT_PRED_FORMAT2(::VrkTest::HResultEquals, expected, actual)

namespace VrkTest
{

using Veyrak::ComPtr;
using Veyrak::UniqueBstr;

std::string HResultText(HRESULT hr); // 0x%08X

::testing::AssertionResult HResultEquals(const char* expectedText, const char* actualText, HRESULT expected,
                                         HRESULT actual);

// COM on the current thread for the object's lifetime.
struct ComApartment
{
    explicit ComApartment(DWORD model = COINIT_MULTITHREADED) : hr(::CoInitializeEx(nullptr, model)) {}
    ComApartment(const ComApartment&) = delete;
    ~ComApartment() { SUCCEEDED(hr) ? ::CoUninitialize() : void(); }
    const HRESULT hr;
};

// The reference count, read by an AddRef and Release pair.
inline ULONG ReferenceCount(IUnknown* object)
{
    object->AddRef();
    return object->Release();
}

bool KeyExists(HKEY root, const std::string& path);
void DeleteTree(HKEY root, const std::string& path);
void CreateKey(HKEY root, const std::string& path);
// The string value (or the default value for an empty name); "<missing>" when absent.
std::string ReadString(HKEY root, const std::string& path, const std::string& name = "");
// The stored type and bytes of a value, as the platform holds them; {REG_NONE, "<missing>"} when absent.
std::pair<DWORD, std::string> ReadRawValue(HKEY root, const std::string& path, const std::string& name);
// Creates root\path if need be and sets a value there (the default value for an empty name).
void WriteValue(HKEY root, const std::string& path, const std::string& name, DWORD type, const void* data, DWORD size);
void WriteString(HKEY root, const std::string& path, const std::string& name, const std::string& text);

// Everything below a key as lines, one per key ("A\\B") and per value ("A\\B:Name=S:text"), where
// "." is the key itself and "@" a default value; D values in decimal, B values in lowercase hex.
// Empty when the key is missing. A depth of 1 lists the key's own values and subkeys.
std::multiset<std::string> RegistryTree(HKEY root, const std::string& path, int depth = -1);

// Creates or deletes the installation key that the authenticator looks for.
void SetProductInstalled(bool installed);

// Gives each test a fresh HKEY_CURRENT_USER\Software\VrkTests\<suite>.<test> and removes it afterwards.
class ScratchKeyTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;
    const std::string& ScratchPath() const { return m_path; }
    HKEY ScratchKey() const { return m_key.get(); }

private:
    std::string m_path;
    Veyrak::UniqueHkey m_key;
};

// Bytes in the blocks allocated on the process's heaps, the C runtime's among them; exact, unlike
// private bytes, which also count what a heap keeps committed after frees.
long long HeapBytesInUse();

// Text of the thread's pending error information, taken off the thread.
struct ErrorInfoSnapshot
{
    bool present = false;
    std::wstring description, source;
    GUID guid = GUID_NULL;
};
ErrorInfoSnapshot TakeErrorInfo();

inline std::wstring Widen(const std::string& text)
{
    return Veyrak::WidenAnsi(text.c_str());
}

inline UniqueBstr Bstr(const wchar_t* text)
{
    return UniqueBstr(text ? ::SysAllocString(text) : nullptr);
}

// A test's view of a server DLL through its exports; a DLL that cannot be loaded, or lacks an
// export, fails the test that loads it.
class ServerDll : public ServerLibrary
{
public:
    explicit ServerDll(const char* fileName = "vrksolauth.dll") : ServerLibrary(fileName)
    {
        EXPECT_HR(S_OK, Result()) << "cannot load " << ProgramDirectory() << fileName << " with its exports";
    }
};

} // namespace VrkTest
