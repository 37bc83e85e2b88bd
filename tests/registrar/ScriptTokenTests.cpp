// Tests of the script's tokens, hive names and value types, read back from the registry.
#include "ScriptTestSupport.h"

#include <string>
#include <vector>

using VrkTest::Lines;

namespace
{

struct ScriptCase
{
    const char* name;
    std::string body;
    HRESULT expected;
    std::vector<std::string> tree;
};

class ScriptTokens : public VrkTest::ScriptTest
{
protected:
    // Registers each case over an empty scratch key and compares the whole subtree.
    void RegisterEach(const std::vector<ScriptCase>& cases)
    {
        for (const ScriptCase& row : cases)
        {
            SCOPED_TRACE(row.name);
            VrkTest::DeleteTree(HKEY_CURRENT_USER, ScratchPath());
            MakeKey("");
            EXPECT_HR(row.expected, Register(row.body));
            EXPECT_EQ(Lines(row.tree), Tree());
        }
    }
};

TEST_F(ScriptTokens, QuotedAndUnquotedTokens_ReadAsWritten)
{
    RegisterEach({
        {"doubled quotes", "'It''s' = s 'It''s'", S_OK, {"It's", "It's:@=S:It's"}},
        {"blanks inside quotes", "'a  b' = s 'x\ty'", S_OK, {"a  b", "a  b:@=S:x\ty"}},
        {"empty quoted token", "Empty = s ''", S_OK, {"Empty", "Empty:@=S:"}},
        {"no blank after a closing quote", "'Q'= s 'v'", S_OK, {"Q", "Q:@=S:v"}},
        {"quoted keyword is a keyword", "'NoRemove' 'Val' v = s x", S_OK, {".:v=S:x"}},
        {"= without blanks belongs to the token", "Name=s", S_OK, {"Name=s"}},
        {"unquoted token runs to a blank", "Key = s a'b\r\nNext", S_OK, {"Key", "Key:@=S:a'b", "Next"}},
        {"unclosed quote", "Key = s 'open", DISP_E_EXCEPTION, {}},
        {"value missing, so the braces run short", "Key = s", DISP_E_EXCEPTION, {}},
    });
}

TEST_F(ScriptTokens, TokenAndValueNameLimits_RefuseWhatDoesNotFit)
{
    const std::string quoted4094(4094, 'q');
    const std::string unquoted4095(4095, 'u');
    const std::string name259(259, 'n');
    RegisterEach({
        {"quoted 4094", "val V = s '" + quoted4094 + "'", S_OK, {".:V=S:" + quoted4094}},
        {"quoted 4095", "val V = s '" + quoted4094 + "q'", DISP_E_EXCEPTION, {}},
        {"unquoted 4095", "val V = s " + unquoted4095, S_OK, {".:V=S:" + unquoted4095}},
        {"unquoted 4096", "val V = s " + unquoted4095 + "u", DISP_E_EXCEPTION, {}},
        {"value name 259", "val " + name259 + " = s x", S_OK, {".:" + name259 + "=S:x"}},
        {"value name 260", "val " + name259 + "n = s x", DISP_E_EXCEPTION, {}},
    });
}

TEST_F(ScriptTokens, ValueTypes_WriteTheirRegistryTypes)
{
    RegisterEach({
        {"string", "val a = S 'text' val b = s ''", S_OK, {".:a=S:text", ".:b=S:"}},
        {"dword", "val a = D 42 val b = d '4294967295'", S_OK, {".:a=D:42", ".:b=D:4294967295"}},
        {"binary", "val a = B 0a1B val b = b zz val c = b ''", S_OK, {".:a=B:0a1b", ".:b=B:00", ".:c=B:"}},
        {"binary digits outside hex count 0", "val a = b g1Fz", S_OK, {".:a=B:01f0"}},
        {"default value of a key", "K = d 7", S_OK, {"K", "K:@=D:7"}},
        {"binary of odd length", "val a = b abc", E_FAIL, {}},
        {"unknown type", "val a = x 'text'", DISP_E_EXCEPTION, {}},
        {"type name longer than a letter", "val a = sz 'text'", DISP_E_EXCEPTION, {}},
        {"dword text not a number", "val a = d 'abc'", DISP_E_EXCEPTION, {}},
        {"dword text too large", "val a = d 4294967296", DISP_E_EXCEPTION, {}},
        {"no = after a value name", "val a s 'text'", DISP_E_EXCEPTION, {}},
    });
}

TEST_F(ScriptTokens, HiveNames_AreMatchedWholeAndCaseInsensitively)
{
    // The scratch script without its leading "HKCU".
    const std::string afterHive = InScratch("K = s v").substr(4);
    EXPECT_HR(S_OK, RunText("hkey_current_user" + afterHive, true));
    EXPECT_EQ(Lines({"K", "K:@=S:v"}), Tree());
    EXPECT_HR(S_OK, RunText("hkcu" + afterHive, false));
    EXPECT_EQ("", Tree());

    EXPECT_HR(DISP_E_EXCEPTION, RunText("HKCUX" + afterHive, true));
    EXPECT_HR(DISP_E_EXCEPTION, RunText("HKCU (" + afterHive.substr(afterHive.find('{') + 1), true));
    EXPECT_EQ("", Tree());
}

} // namespace
