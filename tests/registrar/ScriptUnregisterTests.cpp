// Tests of the script's constructs while unregistering: what is removed and what stays.
#include "ScriptTestSupport.h"

#include <string>

using VrkTest::Lines;

namespace
{

class ScriptUnregister : public VrkTest::ScriptTest
{
};

TEST_F(ScriptUnregister, WhatRegisteringWrote_IsRemovedAgain)
{
    const char body[] = "ForceRemove Class = s 'c'\r\n"
                        "{\r\n"
                        "\tval T = s 'Both'\r\n"
                        "\tval N = d 3\r\n"
                        "\tSub = s 's' { Deep = b 00 { val x = s '' } }\r\n"
                        "\tDelete Gone\r\n"
                        "}\r\n"
                        "val Top = s 'top'";
    SetString("Unrelated", "", "u");
    EXPECT_HR(S_OK, Register(body));
    EXPECT_HR(S_OK, Unregister(body));
    EXPECT_EQ(Lines({"Unrelated", "Unrelated:@=S:u"}), Tree());
}

TEST_F(ScriptUnregister, MissingKey_ShieldsItsOwnSubtreeOnly)
{
    SetString("", "v", "scratch value");
    SetString("Kept\\Child", "", "c");
    SetString("Kept", "v", "kept value");
    MakeKey("Inner");
    SetString("After", "", "a");

    EXPECT_HR(S_OK, Unregister("Kept { }\r\n"
                               "Missing = s 'm' { val v = s 'x' Inner { Deeper } }\r\n"
                               "After"));

    // Neither the parent key nor the key opened before the missing one lost anything.
    EXPECT_EQ(
        Lines({".:v=S:scratch value", "Inner", "Kept", "Kept:v=S:kept value", "Kept\\Child", "Kept\\Child:@=S:c"}),
        Tree());
}

TEST_F(ScriptUnregister, KeyWithOnlyItsDefaultValue_IsDeletedWithoutItsBlock)
{
    SetString("Solo", "", "d");
    SetString("Sub", "", "must stay");
    SetString("Next", "", "n");

    EXPECT_HR(S_OK, Unregister("Solo = s 'd' { val ghost = s 'x' Sub { Deep } }\r\n"
                               "Next = s 'n'"));

    EXPECT_EQ(Lines({"Sub", "Sub:@=S:must stay"}), Tree());
}

TEST_F(ScriptUnregister, KeyThatKeepsSubkeys_Stays)
{
    SetString("Parent\\Named", "", "n");
    SetString("Parent\\Foreign", "", "f");
    EXPECT_HR(S_OK, Unregister("Parent = s 'p' { Named = s 'n' }"));
    EXPECT_EQ(Lines({"Parent", "Parent\\Foreign", "Parent\\Foreign:@=S:f"}), Tree());
}

TEST_F(ScriptUnregister, KeyWithNamedValuesButNoSubkeys_IsDeletedAfterItsBlock)
{
    SetString("Holder", "mine", "m");
    SetString("Holder", "foreign", "f");
    EXPECT_HR(S_OK, Unregister("Holder { val mine = s 'm' }"));
    EXPECT_EQ("", Tree());
}

TEST_F(ScriptUnregister, ValuesInsideAKeptKey_AreRemoved)
{
    SetString("Kept", "mine", "m");
    SetString("Kept", "foreign", "f");
    MakeKey("Kept\\Child");
    SetString("Held", "mine", "m");
    SetString("Held", "foreign", "f");

    EXPECT_HR(S_OK, Unregister("Kept { val mine = s 'm' }\r\n"
                               "NoRemove Held { val mine = s 'm' }"));

    EXPECT_EQ(Lines({"Held", "Held:foreign=S:f", "Kept", "Kept:foreign=S:f", "Kept\\Child"}), Tree());
}

TEST_F(ScriptUnregister, NoRemove_HoldsToTheEndOfItsBlockOnly)
{
    SetString("A", "x", "1");
    SetString("B\\C", "", "c");
    SetString("D", "", "d");

    EXPECT_HR(S_OK, Unregister("NoRemove A { val x = s '1' }\r\n"
                               "B { C = s 'c' }\r\n"
                               "D = s 'd'"));

    // C sits in B's own block, where no mark is set.
    EXPECT_EQ(Lines({"A", "B", "D", "D:@=S:d"}), Tree());
}

TEST_F(ScriptUnregister, ForceRemoveAndDelete_AreUnregisteredAsKeyEntries)
{
    SetString("Forced\\Sub", "", "s");
    SetString("Deleted", "", "d");
    SetString("Other\\Foreign", "", "f");

    EXPECT_HR(S_OK, Unregister("ForceRemove Forced { Sub = s 's' }\r\n"
                               "Delete Deleted = s 'd'\r\n"
                               "Delete Other"));

    EXPECT_EQ(Lines({"Other", "Other\\Foreign", "Other\\Foreign:@=S:f"}), Tree());
}

TEST_F(ScriptUnregister, Failure_StopsTheRunAndKeepsWhatWasRemoved)
{
    MakeKey("First");
    MakeKey("Last\\Child");
    EXPECT_HR(DISP_E_EXCEPTION, Unregister("First\r\nA\\B\r\nLast"));
    EXPECT_EQ(Lines({"Last", "Last\\Child"}), Tree());

    EXPECT_HR(DISP_E_EXCEPTION, Unregister("Last { val v s 'x' Child }"));
    EXPECT_EQ(Lines({"Last", "Last\\Child"}), Tree());
}

} // namespace
