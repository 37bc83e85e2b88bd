// InvokeTests.cpp: IDispatch::Invoke of the authenticator's two methods with VARIANT
// arguments. The product key is absent, so objects are unconnected: IsInstalled answers
// false and Authenticate fails with its not-installed error. Argument checks and
// conversions are the platform type information's; the results asserted are Wine's.
#include "server/DispatchTestSupport.h"

namespace VrkTest
{
namespace
{

const UINT kPoisonArgumentError = 0xdeadbeef;
const DISPID kIsInstalled = 1;
const DISPID kAuthenticate = 2;
const wchar_t kNotInstalled[] = L"Authenticate: VRKsolution not installed";

class InvokeTest : public RegisteredServerTest
{
protected:
    void SetUp() override
    {
        RegisteredServerTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_HR(S_OK, m_dll.CreateAuthenticator(m_object));
    }

    ComPtr<IVRKsolutionAuthenticator1> m_object;
};

TEST_F(InvokeTest, IsInstalled_AsMethod_AnswersFalseWhenTheProductIsAbsent)
{
    struct Row
    {
        const char* label;
        WORD flags;
        HRESULT expected;
    };
    const Row rows[] = {
        {"method", DISPATCH_METHOD, S_OK},
        {"method or property get, as script hosts call", DISPATCH_METHOD | DISPATCH_PROPERTYGET, S_OK},
        // IsInstalled is a method in the type library, not a property.
        {"property get alone", DISPATCH_PROPERTYGET, DISP_E_MEMBERNOTFOUND},
        {"property put", DISPATCH_PROPERTYPUT, DISP_E_MEMBERNOTFOUND},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.label);
        Variant result;
        V_VT(result.Get()) = VT_I4;
        V_I4(result.Get()) = 0x5a5a;
        ExceptionInfo exception;
        UINT argumentError = kPoisonArgumentError;
        EXPECT_HR(row.expected,
                  InvokeWith(m_object.Get(), kIsInstalled, row.flags, {}, result.Get(), &exception, &argumentError));
        if (row.expected != S_OK)
            continue;
        EXPECT_EQ(VT_BOOL, V_VT(result.Get()));
        EXPECT_EQ(VARIANT_FALSE, V_BOOL(result.Get()));
        EXPECT_EQ(kPoisonArgumentError, argumentError);
    }
}

TEST_F(InvokeTest, IsInstalled_WithoutResultVariant_Succeeds)
{
    EXPECT_HR(S_OK, InvokeWith(m_object.Get(), kIsInstalled, DISPATCH_METHOD, {}, nullptr, nullptr, nullptr));
}

TEST_F(InvokeTest, UnknownDispid_FailsMemberNotFound)
{
    for (DISPID dispid : {DISPID(0), DISPID(3), DISPID(-1)})
    {
        SCOPED_TRACE(testing::Message() << "DISPID " << dispid);
        Variant result;
        EXPECT_HR(DISP_E_MEMBERNOTFOUND,
                  InvokeWith(m_object.Get(), dispid, DISPATCH_METHOD, {}, result.Get(), nullptr, nullptr));
    }
}

TEST_F(InvokeTest, Authenticate_NotInstalled_FailsWithExceptionCarryingTheMethodsError)
{
    Variant domain(L"CORP");
    Variant user(L"alice");
    Variant result;
    ExceptionInfo exception;
    UINT argumentError = kPoisonArgumentError;

    EXPECT_HR(DISP_E_EXCEPTION, InvokeWith(m_object.Get(), kAuthenticate, DISPATCH_METHOD, {domain.Get(), user.Get()},
                                           result.Get(), &exception, &argumentError));
    // The method's own HRESULT and description travel in the exception information.
    EXPECT_HR(E_FAIL, exception.scode);
    EXPECT_EQ(0, exception.wCode);
    ASSERT_TRUE(exception.bstrDescription);
    EXPECT_EQ(std::wstring(kNotInstalled), std::wstring(exception.bstrDescription));
    EXPECT_EQ(kPoisonArgumentError, argumentError);
}

TEST_F(InvokeTest, Authenticate_NotInstalledWithoutExceptionInfo_LeavesErrorInformationOnTheThread)
{
    Variant domain(L"CORP");
    Variant user(L"alice");
    Variant result;

    EXPECT_HR(DISP_E_EXCEPTION, InvokeWith(m_object.Get(), kAuthenticate, DISPATCH_METHOD, {domain.Get(), user.Get()},
                                           result.Get(), nullptr, nullptr));
    const ErrorInfoSnapshot error = TakeErrorInfo();
    ASSERT_TRUE(error.present);
    EXPECT_EQ(std::wstring(kNotInstalled), error.description);
    EXPECT_TRUE(::IsEqualGUID(IID_IVRKsolutionAuthenticator1, error.guid));
}

TEST_F(InvokeTest, WrongArgumentCount_FailsBadParamCountWithoutCallingTheMethod)
{
    Variant domain(L"CORP");
    Variant user(L"alice");
    Variant extra(L"extra");
    struct Row
    {
        const char* label;
        DISPID dispid;
        std::vector<VARIANT*> arguments;
    };
    const Row rows[] = {
        // Windows may answer a missing required argument with DISP_E_PARAMNOTOPTIONAL; Wine
        // counts the arguments first.
        {"Authenticate without arguments", kAuthenticate, {}},
        {"Authenticate without User", kAuthenticate, {domain.Get()}},
        {"Authenticate with an extra argument", kAuthenticate, {domain.Get(), user.Get(), extra.Get()}},
        {"IsInstalled with an argument", kIsInstalled, {extra.Get()}},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.label);
        ClearErrorInfo();
        Variant result;
        ExceptionInfo exception;
        UINT argumentError = kPoisonArgumentError;
        EXPECT_HR(DISP_E_BADPARAMCOUNT, InvokeWith(m_object.Get(), row.dispid, DISPATCH_METHOD, row.arguments,
                                                   result.Get(), &exception, &argumentError));
        EXPECT_EQ(nullptr, exception.bstrDescription);
        // The method never ran, so it left no error information behind.
        EXPECT_FALSE(TakeErrorInfo().present);
    }
}

TEST_F(InvokeTest, ArgumentThatCannotBecomeAString_FailsTypeMismatchWithoutCallingTheMethod)
{
    Variant domain(L"CORP");
    Variant user(L"alice");
    Variant unknown;
    V_VT(unknown.Get()) = VT_UNKNOWN;
    V_UNKNOWN(unknown.Get()) = nullptr;
    Variant null;
    V_VT(null.Get()) = VT_NULL;
    Variant array;
    V_VT(array.Get()) = VT_ARRAY | VT_I4;
    V_ARRAY(array.Get()) = ::SafeArrayCreateVector(VT_I4, 0, 2);
    ASSERT_TRUE(V_ARRAY(array.Get()));

    struct Row
    {
        const char* label;
        std::vector<VARIANT*> arguments;
    };
    const Row rows[] = {
        {"Domain a null IUnknown", {unknown.Get(), user.Get()}},
        {"User a null IUnknown", {domain.Get(), unknown.Get()}},
        {"Domain VT_NULL", {null.Get(), user.Get()}},
        {"User an array", {domain.Get(), array.Get()}},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.label);
        ClearErrorInfo();
        Variant result;
        ExceptionInfo exception;
        UINT argumentError = kPoisonArgumentError;
        EXPECT_HR(DISP_E_TYPEMISMATCH, InvokeWith(m_object.Get(), kAuthenticate, DISPATCH_METHOD, row.arguments,
                                                  result.Get(), &exception, &argumentError));
        // Wine leaves the argument error index untouched; Windows sets it to the bad
        // argument's position in DISPPARAMS.rgvarg (which runs last argument first).
        EXPECT_EQ(kPoisonArgumentError, argumentError);
        EXPECT_FALSE(TakeErrorInfo().present);
    }
}

TEST_F(InvokeTest, ArgumentThatCoercesToAString_ReachesTheMethod)
{
    Variant number;
    V_VT(number.Get()) = VT_I4;
    V_I4(number.Get()) = 42;
    Variant user(L"alice");
    Variant result;
    ExceptionInfo exception;
    // The number becomes the string "42" and the method runs: its not-installed error comes back.
    EXPECT_HR(DISP_E_EXCEPTION, InvokeWith(m_object.Get(), kAuthenticate, DISPATCH_METHOD, {number.Get(), user.Get()},
                                           result.Get(), &exception, nullptr));
    EXPECT_HR(E_FAIL, exception.scode);
    ASSERT_TRUE(exception.bstrDescription);
    EXPECT_EQ(std::wstring(kNotInstalled), std::wstring(exception.bstrDescription));
}

} // namespace
} // namespace VrkTest
