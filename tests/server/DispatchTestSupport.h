// DispatchTestSupport.h: for the dispatch tests: the type library carried by vrksolauth.dll
// registered and unregistered, and small VARIANT and dispatch helpers.
#pragma once

#include "Common/Utility/ComPtr.h"
#include "support/ServerDll.h"
#include "support/TestSupport.h"

#include "vrksolauth.h"

#include <string>
#include <vector>

namespace VrkTest
{

using Veyrak::ComPtr;

// The DLL's file name; it lies beside the test program.
extern const char kServerDllName[];

// The full path of the DLL beside the test program.
std::wstring ServerDllPath();

// Loads the type library out of the DLL by its full path, without registering it.
HRESULT LoadServerTypeLibrary(ComPtr<ITypeLib>& library);
// Writes the DLL's type library into the registry (help folder: the DLL's folder).
HRESULT RegisterServerTypeLibrary();
// Removes the type library's registration.
HRESULT UnregisterServerTypeLibrary();
// What LoadRegTypeLib answers for the server's library, version 1.0, neutral locale.
HRESULT LoadRegisteredTypeLibraryResult();

// A VARIANT that clears itself.
class Variant
{
public:
    Variant() { ::VariantInit(&m_value); }
    explicit Variant(const wchar_t* text);
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { ::VariantClear(&m_value); }

    VARIANT* Get() { return &m_value; }
    const VARIANT& operator*() const { return m_value; }

private:
    VARIANT m_value;
};

// EXCEPINFO whose strings are freed with it.
struct ExceptionInfo : EXCEPINFO
{
    ExceptionInfo();
    ExceptionInfo(const ExceptionInfo&) = delete;
    ExceptionInfo& operator=(const ExceptionInfo&) = delete;
    ~ExceptionInfo();
};

// IDispatch::Invoke with positional arguments given in the method's own order (the call
// reverses them into DISPPARAMS), no named arguments and the neutral locale.
HRESULT InvokeWith(IDispatch* object, DISPID dispid, WORD flags, const std::vector<VARIANT*>& arguments,
                   VARIANT* result, EXCEPINFO* exception, UINT* argumentError);

// Puts the test thread's error information aside so that a test starts without any.
void ClearErrorInfo();

// The type library registered for the test's duration, the product key absent, COM
// initialised (multithreaded) and the DLL loaded.
class RegisteredServerTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    ComApartment m_apartment;
    ServerDll m_dll;
};

} // namespace VrkTest
