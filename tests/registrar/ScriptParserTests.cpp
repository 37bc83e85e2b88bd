// Tests of the script's text level: expansion, tokens and their limits, hive names and value types.
#include "ScriptTestSupport.h"

using namespace VrkTest;

namespace
{

using ScriptText = ScriptTest;

TEST_F(ScriptText, Expansion_ReplacesReferencesEverywhereOrFailsBeforeAnyKeyIsTouched)
{
    const std::string name31(31, 'n');
    m_registrar.AddVariable(L"Module", L"C:\\Dir\\x.dll");
    m_registrar.AddVariable(L"KeyName", L"Named");
    m_registrar.AddVariable(std::wstring(31, L'n').c_str(), L"max");
    m_registrar.AddVariable(std::wstring(32, L'n').c_str(), L"defined");
    // "Before" would survive the rollback, so a failure after it was created would show.
    RunCases({
        {"references",
         InScratch("A = s '%MODULE%' { val v = s '%module%,100%%,%" + name31 + "%' }\r\n%KEYNAME%x\r\nval '%%' = s ''"),
         S_OK, "A|A:@=S:C:\\Dir\\x.dll|A:v=S:C:\\Dir\\x.dll,100%,max|Namedx|.:%=S:"},
        {"undefined name", InScratch("NoRemove Before\r\nA = s '%Undefined%'"), DISP_E_EXCEPTION},
        {"unclosed reference", InScratch("NoRemove Before\r\nA = s '100%"), DISP_E_EXCEPTION},
        {"32-byte name", InScratch("NoRemove Before\r\nA = s '%" + name31 + "n%'"), E_FAIL},
        {"% at the end", InScratch("NoRemove Before") + "%", DISP_E_EXCEPTION},
    });
}

TEST_F(ScriptText, Tokens_ReadAsWrittenWithinTheirLimits_HiveNamesAndValueTypesMatchedWhole)
{
    const std::string quoted4094(4094, 'q'), unquoted4095(4095, 'u'), name259(259, 'n');
    RunCases({
        {"doubled quotes", InScratch("'It''s' = s 'It''s'"), S_OK, "It's|It's:@=S:It's"},
        {"blanks inside quotes", InScratch("'a  b' = s 'x\ty'"), S_OK, "a  b|a  b:@=S:x\ty"},
        {"empty quoted token", InScratch("Empty = s ''"), S_OK, "Empty|Empty:@=S:"},
        {"no blank after a closing quote", InScratch("'Q'= s 'v'"), S_OK, "Q|Q:@=S:v"},
        {"quoted keywords", InScratch("'NoRemove' 'Val' v = s x"), S_OK, ".:v=S:x"},
        {"= without blanks", InScratch("Name=s"), S_OK, "Name=s"},
        {"unquoted token", InScratch("Key = s a'b\r\nNext"), S_OK, "Key|Key:@=S:a'b|Next"},
        {"unclosed quote", InScratch("Key = s 'open"), DISP_E_EXCEPTION},
        {"text ends in an entry", InScratch("Key = s"), DISP_E_EXCEPTION},
        {"quoted 4094", InScratch("val V = s '" + quoted4094 + "'"), S_OK, ".:V=S:" + quoted4094},
        {"quoted 4095", InScratch("val V = s '" + quoted4094 + "q'"), DISP_E_EXCEPTION},
        {"unquoted 4095", InScratch("val V = s " + unquoted4095), S_OK, ".:V=S:" + unquoted4095},
        {"unquoted 4096", InScratch("val V = s " + unquoted4095 + "u"), DISP_E_EXCEPTION},
        {"value name 259", InScratch("val " + name259 + " = s x"), S_OK, ".:" + name259 + "=S:x"},
        {"value name 260", InScratch("val " + name259 + "n = s x"), DISP_E_EXCEPTION},
    });

    // Hive names and value types are matched whole and case-insensitively.
    const std::string afterHive = InScratch("K1 = s v").substr(4);
    RunCases({
        {"empty script", "", S_OK, "", "", Pass::RoundTrip},
        {"blanks only", " \t\r\n ", DISP_E_EXCEPTION},
        {"vertical tab is no blank", "\v" + InScratch("K"), DISP_E_EXCEPTION},
        {"hive names", "hkey_current_user" + afterHive + " hkcu" + InScratch("K2").substr(4), S_OK, "K1|K1:@=S:v|K2"},
        {"hive name prefix", "HKCUX" + afterHive, DISP_E_EXCEPTION},
        {"no { after the hive", "HKCU (" + afterHive.substr(afterHive.find('{') + 1), DISP_E_EXCEPTION},
        {"types",
         InScratch("val a = S 'text' val b = s '' val c = D 42 val d = d '4294967295' K = d 7\r\n"
                   "val e = B 0a1B val f = b zz val g = b '' val h = b g1Fz"),
         S_OK, ".:a=S:text|.:b=S:|.:c=D:42|.:d=D:4294967295|K|K:@=D:7|.:e=B:0a1b|.:f=B:00|.:g=B:|.:h=B:01f0"},
        {"binary of odd length", InScratch("val a = b abc"), E_FAIL},
        {"unknown type", InScratch("val a = x 'text'"), DISP_E_EXCEPTION},
        {"type name longer than a letter", InScratch("val a = sz 'text'"), DISP_E_EXCEPTION},
        {"dword text not a number", InScratch("val a = d 'abc'"), DISP_E_EXCEPTION},
        {"dword text too large", InScratch("val a = d 4294967296"), DISP_E_EXCEPTION},
        {"no = after a value name", InScratch("val a s 'text'"), DISP_E_EXCEPTION},
    });
}

} // namespace
