// Tests of the variable map and of variable expansion in script texts.
#include "ScriptTestSupport.h"

#include <string>

using namespace Veyrak;
using VrkTest::Lines;

TEST(RegistrarVariables, FindVariable_OnEmptyMap_FindsNothing)
{
    Registrar registrar;
    EXPECT_EQ(nullptr, registrar.FindVariable("Module"));
}

TEST(RegistrarVariables, AddVariable_SameNameTwice_KeepsBothAndFindsTheFirst)
{
    Registrar registrar;
    EXPECT_HR(S_OK, registrar.AddVariable(L"Module", L"first"));
    EXPECT_HR(S_OK, registrar.AddVariable(L"MODULE", L"second"));
    ASSERT_NE(nullptr, registrar.FindVariable("module"));
    EXPECT_STREQ(L"first", registrar.FindVariable("module"));
}

TEST(RegistrarVariables, AddVariable_PastTheFirstRoomTwice_KeepsEveryPair)
{
    Registrar registrar;
    for (int i = 0; i < 45; ++i)
    {
        std::wstring number = std::to_wstring(i);
        ASSERT_HR(S_OK, registrar.AddVariable((L"Name" + number).c_str(), (L"Value" + number).c_str()));
    }
    for (int i = 0; i < 45; ++i)
    {
        SCOPED_TRACE(i);
        LPCOLESTR value = registrar.FindVariable(("NAME" + std::to_string(i)).c_str());
        ASSERT_NE(nullptr, value);
        EXPECT_EQ(L"Value" + std::to_wstring(i), value);
    }
}

TEST(RegistrarVariables, ClearVariables_ForgetsEveryPairAndAllowsNewOnes)
{
    Registrar registrar;
    registrar.AddVariable(L"Module", L"path");
    registrar.ClearVariables();
    EXPECT_EQ(nullptr, registrar.FindVariable("Module"));
    EXPECT_HR(S_OK, registrar.AddVariable(L"Other", L"value"));
    EXPECT_STREQ(L"value", registrar.FindVariable("other"));
}

class ScriptExpansion : public VrkTest::ScriptTest
{
};

TEST_F(ScriptExpansion, References_ExpandEverywhereWithCaseInsensitiveNames)
{
    m_registrar.AddVariable(L"Module", L"C:\\Dir\\x.dll");
    m_registrar.AddVariable(L"KeyName", L"Named");
    ASSERT_EQ(31u, std::string("Thirty1CharacterVariableName012").size());
    m_registrar.AddVariable(L"Thirty1CharacterVariableName012", L"max");

    EXPECT_HR(S_OK, Register("A = s '%MODULE%' { val v = s '%module%|100%%|%Thirty1CharacterVariableName012%' }\r\n"
                             "%KEYNAME%x\r\n"
                             "val '%%' = s ''"));

    EXPECT_EQ(Lines({"A", "A:@=S:C:\\Dir\\x.dll", "A:v=S:C:\\Dir\\x.dll|100%|max", "Namedx", ".:%=S:"}), Tree());
}

TEST_F(ScriptExpansion, BadReferences_FailBeforeAnyKeyIsTouched)
{
    m_registrar.AddVariable(L"Thirty2CharacterVariableName0123", L"defined");
    const struct
    {
        const char* body;
        HRESULT expected;
    } cases[] = {
        {"A = s '%Undefined%'", DISP_E_EXCEPTION},
        {"A = s '100%", DISP_E_EXCEPTION},
        {"A = s '%Thirty2CharacterVariableName0123%'", E_FAIL},
    };
    for (const auto& row : cases)
    {
        SCOPED_TRACE(row.body);
        EXPECT_HR(row.expected, Register(std::string("Before\r\n") + row.body));
        EXPECT_EQ("", Tree());
    }
    // A "%" as the very last character of the text.
    EXPECT_HR(DISP_E_EXCEPTION, RunText(InScratch("Before") + "%", true));
    EXPECT_EQ("", Tree());
}

TEST_F(ScriptExpansion, EmptyScript_SucceedsAndBlanksOnlyExpectAHive)
{
    EXPECT_HR(S_OK, RunText("", true));
    EXPECT_HR(S_OK, RunText("", false));
    EXPECT_HR(DISP_E_EXCEPTION, RunText(" \t\r\n ", true));
    // Vertical tab and form feed are not blanks: they make a token that is no hive.
    EXPECT_HR(DISP_E_EXCEPTION, RunText("\v", true));
    EXPECT_HR(DISP_E_EXCEPTION, RunText("\f", true));
}
