// Tests of the script's entries in both directions, and of the rollback of a failing hive block.
#include "ScriptTestSupport.h"

using namespace VrkTest;

namespace
{

using ScriptBlocks = ScriptTest;

const char kBraceNames[] = "ForceRemove 'Programmable'\r\n{5A486531-0201-43E0} = s 'x'\r\nPlain {ABC}";

TEST_F(ScriptBlocks, Registering_AppliesEachConstruct)
{
    RunCases({
        {"key entries",
         InScratch("Existing = s 'new' { val n = d 5 Sub = s 'w' { Deep } }\r\nNoRemove Fresh\r\nval Top = b 00ff"),
         S_OK,
         "Existing|Existing:@=S:new|Existing:kept=S:yes|Existing:n=D:5|Existing\\Sub|Existing\\Sub:@=S:w|"
         "Existing\\Sub\\Deep|Fresh|.:Top=B:00ff",
         "Existing:kept=S:yes"},
        {"key names beginning with {", InScratch(kBraceNames), S_OK,
         "Programmable|{5A486531-0201-43E0}|{5A486531-0201-43E0}:@=S:x|Plain|{ABC}"},
        {"ForceRemove and Delete",
         InScratch("ForceRemove Class = s 'new' { Sub }\r\nDelete Gone\r\nDelete AlsoGone = s 'ignored'\r\n"
                   "Delete NeverThere\r\nAfter"),
         S_OK, "Class|Class:@=S:new|Class\\Sub|After",
         "Class\\Old\\Deep:v=S:x|Class:stale=S:x|Gone\\Deep:v=S:x|AlsoGone"},
        {"protected names in any case",
         InScratch("ForceRemove CLSID\r\nForceRemove clsid { New }\r\nDelete TypeLib\r\nDelete typelib = s 'x'\r\n"
                   "Delete cLsId"),
         S_OK, "CLSID|CLSID\\Keep|CLSID\\Keep:@=S:c|CLSID\\New|TypeLib|TypeLib\\Keep|TypeLib\\Keep:@=S:t",
         "CLSID\\Keep:@=S:c|TypeLib\\Keep:@=S:t"},
        // Each failure below rolls back the block, which removes "Good".
        {"backslash after ForceRemove", InScratch("Good\r\nForceRemove A\\B"), DISP_E_EXCEPTION, "A|A\\B", "A\\B"},
        {"backslash after Delete", InScratch("Good\r\nDelete A\\B = s x"), DISP_E_EXCEPTION},
        // An empty name would be the parent itself: removed with its whole tree.
        {"empty name after ForceRemove", InScratch("NoRemove A { ForceRemove '' }"), DISP_E_EXCEPTION, "A|A\\B",
         "A\\B"},
        {"backslash in a key name", InScratch("Good { 'x\\y' = s v }"), DISP_E_EXCEPTION},
        {"block after a value", InScratch("Good { val v = s 'x' { Sub } }"), DISP_E_EXCEPTION},
        {"empty block after a value", InScratch("Good { val v = s 'x' { } }"), DISP_E_EXCEPTION},
        {"block after Delete", InScratch("Good\r\nDelete Other { Sub }"), DISP_E_EXCEPTION},
        {"token too long right after a block", InScratch("Good { Sub }\r\n'" + std::string(4095, 'q') + "'"),
         DISP_E_EXCEPTION},
        // The rollback removes what the failing block names, also a key that was there before.
        {"failure in the second hive block",
         InScratch("First = s 'one'") +
             InScratch("Existing = s 'x'\r\nShared { Mine = s 'm' }\r\nBroken = q 'x'\r\nNeverReached"),
         DISP_E_EXCEPTION, "First|First:@=S:one|Shared|Shared\\Foreign|Shared\\Foreign:@=S:f",
         "Existing:@=S:old|Shared\\Foreign:@=S:f"},
    });
}

TEST_F(ScriptBlocks, Unregistering_RemovesWhatTheScriptNamesAndKeepsSharedKeys)
{
    const Pass unregister = Pass::Unregister;
    RunCases({
        {"what registering wrote",
         InScratch(std::string(kBraceNames) + "\r\nForceRemove Class = s 'c' { val T = s 'Both' val N = d 3\r\n"
                                              "Sub = s 's' { Deep = b 00 { val x = s '' } } Delete Gone }\r\n"
                                              "val Top = s 'top'"),
         S_OK, "Unrelated|Unrelated:@=S:u", "Unrelated:@=S:u", Pass::RoundTrip},
        {"a missing key shields its own subtree only",
         InScratch("Kept { }\r\nMissing = s 'm' { val v = s 'x' Inner { Deeper } }\r\nAfter"), S_OK,
         ".:v=S:s|Inner|Kept|Kept:v=S:k|Kept\\Child|Kept\\Child:@=S:c",
         ".:v=S:s|Kept\\Child:@=S:c|Kept:v=S:k|Inner|After:@=S:a", unregister},
        {"a key with only its default value goes without its block",
         InScratch("Solo = s 'd' { val ghost = s 'x' Sub { Deep } }\r\nNext = s 'n'"), S_OK, "Sub|Sub:@=S:s",
         "Solo:@=S:d|Sub:@=S:s|Next:@=S:n", unregister},
        {"values go from kept keys; keys go unless they keep subkeys",
         InScratch("Kept { val v = s 'm' }\r\nHolder { val v = s 'm' }\r\nParent = s 'p' { Named = s 'n' }\r\n"
                   "NoRemove Held { val v = s 'm' }"),
         S_OK, "Held|Held:f=S:f|Kept|Kept:f=S:f|Kept\\Child|Parent|Parent\\Foreign",
         "Kept:v=S:m|Kept:f=S:f|Kept\\Child|Held:v=S:m|Held:f=S:f|Holder:v=S:m|Holder:f=S:f|Parent\\Named:@=S:n|"
         "Parent\\Foreign",
         unregister},
        {"NoRemove holds to the end of its block only",
         InScratch("NoRemove A { val x = s '1' }\r\nB { C = s 'c' }\r\nD = s 'd'"), S_OK, "A|B|D|D:@=S:d",
         "A:x=S:1|B\\C:@=S:c|D:@=S:d", unregister},
        {"ForceRemove and Delete are key entries",
         InScratch("ForceRemove Forced { Sub = s 's' }\r\nDelete Deleted = s 'd'\r\nDelete Other"), S_OK,
         "Other|Other\\Foreign|Other\\Foreign:@=S:f", "Forced\\Sub:@=S:s|Deleted:@=S:d|Other\\Foreign:@=S:f",
         unregister},
        // A failure stops the run; what was removed stays removed.
        {"backslash", InScratch("First\r\nA\\B\r\nLast"), DISP_E_EXCEPTION, "Last|Last\\Child", "First|Last\\Child",
         unregister},
        {"empty key name", InScratch("NoRemove Last { '' }"), DISP_E_EXCEPTION, "Last", "Last", unregister},
        {"no = after a value name", InScratch("Last { val v s 'x' Child }"), DISP_E_EXCEPTION, "Last|Last\\Child",
         "Last\\Child", unregister},
    });
}

} // namespace
