// DispatchTestSupport.cpp: the type library registration and dispatch helpers.
#include "server/DispatchTestSupport.h"

namespace VrkTest
{

const char kServerDllName[] = "vrksolauth.dll";

std::wstring ServerDllPath()
{
    return Widen(ProgramDirectory() + kServerDllName);
}

HRESULT LoadServerTypeLibrary(ComPtr<ITypeLib>& library)
{
    return ::LoadTypeLibEx(ServerDllPath().c_str(), REGKIND_NONE, library.Put());
}

HRESULT RegisterServerTypeLibrary()
{
    ComPtr<ITypeLib> library;
    HRESULT result = LoadServerTypeLibrary(library);
    if (FAILED(result))
        return result;
    std::wstring path = ServerDllPath();
    std::wstring helpFolder = Widen(ProgramDirectory());
    return ::RegisterTypeLib(library.Get(), &path[0], &helpFolder[0]);
}

HRESULT UnregisterServerTypeLibrary()
{
    return ::UnRegisterTypeLib(LIBID_VRKSOLAUTHLib, 1, 0, 0, SYS_WIN32);
}

HRESULT LoadRegisteredTypeLibraryResult()
{
    ComPtr<ITypeLib> library;
    return ::LoadRegTypeLib(LIBID_VRKSOLAUTHLib, 1, 0, 0, library.Put());
}

Variant::Variant(const wchar_t* text)
{
    ::VariantInit(&m_value);
    V_VT(&m_value) = VT_BSTR;
    V_BSTR(&m_value) = ::SysAllocString(text);
}

ExceptionInfo::ExceptionInfo() : EXCEPINFO{} {}

ExceptionInfo::~ExceptionInfo()
{
    ::SysFreeString(bstrSource);
    ::SysFreeString(bstrDescription);
    ::SysFreeString(bstrHelpFile);
}

HRESULT InvokeWith(IDispatch* object, DISPID dispid, WORD flags, const std::vector<VARIANT*>& arguments,
                   VARIANT* result, EXCEPINFO* exception, UINT* argumentError)
{
    std::vector<VARIANT> reversed;
    for (auto argument = arguments.rbegin(); argument != arguments.rend(); ++argument)
        reversed.push_back(**argument);
    DISPPARAMS parameters = {reversed.empty() ? nullptr : reversed.data(), nullptr, static_cast<UINT>(reversed.size()),
                             0};
    return object->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters, result, exception, argumentError);
}

void ClearErrorInfo()
{
    ::SetErrorInfo(0, nullptr);
}

void RegisteredServerTest::SetUp()
{
    SetProductInstalled(false);
    ASSERT_TRUE(m_dll.Loaded()) << "LoadLibrary(" << kServerDllName << ") failed: " << ::GetLastError();
    ASSERT_HR(S_OK, RegisterServerTypeLibrary());
    ClearErrorInfo();
}

void RegisteredServerTest::TearDown()
{
    EXPECT_HR(S_OK, UnregisterServerTypeLibrary());
}

} // namespace VrkTest
