// Tests of the script's constructs while registering, and of the rollback of a failing hive block.
#include "ScriptTestSupport.h"

#include <string>

using VrkTest::Lines;

namespace
{

class ScriptRegister : public VrkTest::ScriptTest
{
};

TEST_F(ScriptRegister, KeyEntries_OpenOrCreateKeysSetDefaultsAndNest)
{
    SetString("Existing", "kept", "yes");
    EXPECT_HR(S_OK, Register("Existing = s 'new' { val n = d 5 Sub = s 'w' { Deep } }\r\n"
                             "NoRemove Fresh\r\n"
                             "val Top = b 00ff"));
    EXPECT_EQ(Lines({"Existing", "Existing:@=S:new", "Existing:kept=S:yes", "Existing:n=D:5", "Existing\\Sub",
                     "Existing\\Sub:@=S:w", "Existing\\Sub\\Deep", "Fresh", ".:Top=B:00ff"}),
              Tree());
}

TEST_F(ScriptRegister, KeyNamesBeginningWithABrace_AreOrdinaryKeys)
{
    const char body[] = "ForceRemove 'Programmable'\r\n"
                        "{5A486531-0201-43E0-BD81-D544BB08D0DC} = s 'x'\r\n"
                        "Plain {ABC}";
    EXPECT_HR(S_OK, Register(body));
    EXPECT_EQ(Lines({"Programmable", "{5A486531-0201-43E0-BD81-D544BB08D0DC}",
                     "{5A486531-0201-43E0-BD81-D544BB08D0DC}:@=S:x", "Plain", "{ABC}"}),
              Tree());

    EXPECT_HR(S_OK, Unregister(body));
    EXPECT_EQ("", Tree());
}

TEST_F(ScriptRegister, ForceRemove_ReplacesTheWholeSubtree)
{
    SetString("Class\\Old\\Deep", "v", "x");
    SetString("Class", "stale", "x");
    EXPECT_HR(S_OK, Register("ForceRemove Class = s 'new' { Sub }"));
    EXPECT_EQ(Lines({"Class", "Class:@=S:new", "Class\\Sub"}), Tree());
}

TEST_F(ScriptRegister, Delete_RemovesTheSubtreeAndWritesNothing)
{
    SetString("Gone\\Deep", "v", "x");
    MakeKey("AlsoGone");
    EXPECT_HR(S_OK, Register("Delete Gone\r\n"
                             "Delete AlsoGone = s 'ignored'\r\n"
                             "Delete NeverThere\r\n"
                             "After"));
    EXPECT_EQ(Lines({"After"}), Tree());
}

TEST_F(ScriptRegister, ProtectedNames_SurviveForceRemoveAndDeleteInAnyCase)
{
    const char* const entries[] = {"ForceRemove CLSID", "ForceRemove clsid { New }", "Delete TypeLib",
                                   "Delete typelib = s 'x'", "Delete cLsId"};
    for (const char* entry : entries)
    {
        SCOPED_TRACE(entry);
        SetString("CLSID\\Keep", "", "c");
        SetString("TypeLib\\Keep", "", "t");
        EXPECT_HR(S_OK, Register(entry));
        const std::string tree = Tree();
        EXPECT_NE(std::string::npos, tree.find("CLSID\\Keep:@=S:c\n")) << tree;
        EXPECT_NE(std::string::npos, tree.find("TypeLib\\Keep:@=S:t\n")) << tree;
    }
    EXPECT_NE(std::string::npos, Tree().find("CLSID\\New\n"));
}

TEST_F(ScriptRegister, Backslash_InAKeyName_IsRefusedAndTheBlockRolledBack)
{
    const char* const bodies[] = {"Good\r\nA\\B", "Good\r\nForceRemove A\\B", "Good\r\nDelete A\\B = s x",
                                  "Good { 'x\\y' = s v }"};
    for (const char* body : bodies)
    {
        SCOPED_TRACE(body);
        EXPECT_HR(DISP_E_EXCEPTION, Register(body));
        EXPECT_EQ("", Tree());
    }
}

TEST_F(ScriptRegister, NestedBlockAfterAValueOrDelete_IsRefused)
{
    const char* const bodies[] = {"Key { val v = s 'x' { Sub } }", "Key\r\nDelete Other { Sub }",
                                  "Delete Other = s 'x' { Sub }"};
    for (const char* body : bodies)
    {
        SCOPED_TRACE(body);
        EXPECT_HR(DISP_E_EXCEPTION, Register(body));
        EXPECT_EQ("", Tree());
    }
}

TEST_F(ScriptRegister, FailureInSecondHiveBlock_KeepsTheFirstAndUnregistersTheSecond)
{
    SetString("Existing", "", "old");
    SetString("Shared\\Foreign", "", "f");
    const std::string script = InScratch("First = s 'one'") + InScratch("Existing = s 'x'\r\n"
                                                                        "Shared { Mine = s 'm' }\r\n"
                                                                        "Broken = q 'x'\r\n"
                                                                        "NeverReached");

    EXPECT_HR(DISP_E_EXCEPTION, RunText(script, true));

    // The rollback removes what the block names, also the key that was there before.
    EXPECT_EQ(Lines({"First", "First:@=S:one", "Shared", "Shared\\Foreign", "Shared\\Foreign:@=S:f"}), Tree());
}

} // namespace
