// Tests of the user handle format.
#include "SimulatorTestSupport.h"

#include "simulator/UserHandle.h"

using namespace Veyrak::Simulator;

TEST(UserHandleTest, Encode_GivesTheDocumentedForm)
{
    EXPECT_EQ(L"VRKH1:4:CORP:4:anna", EncodeUserHandle(L"CORP", L"anna"));
    EXPECT_EQ(L"VRKH1:0::3:bob", EncodeUserHandle(L"", L"bob"));
}

TEST(UserHandleTest, RoundTrip_KeepsAnyCharacterOfEitherName)
{
    const struct
    {
        std::wstring domain;
        std::wstring user;
    } rows[] = {
        {L"CORP", L"anna"},
        {L"", L"bob"},
        {L"A:B", L"c:d"},
        {L"1:x", L"2:"},
        {L"VRKH1:4:CORP:4:anna", L":"},
        {L"corp.example", L"anna maria"},
        {std::wstring(L"nul\0in", 6), L"\u00e9l\u00e8ve"},
        {std::wstring(12345, L'd'), std::wstring(99999, L'u')},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(::testing::Message() << "domain length " << row.domain.size());
        std::wstring domain = L"poison";
        std::wstring user = L"poison";
        ASSERT_TRUE(DecodeUserHandle(EncodeUserHandle(row.domain, row.user), domain, user));
        EXPECT_EQ(row.domain, domain);
        EXPECT_EQ(row.user, user);
    }
}

TEST(UserHandleTest, Decode_RefusesAnythingButTheExactForm)
{
    const wchar_t* rows[] = {
        L"",
        L"VRKH1:",
        L"VRKH2:4:CORP:4:anna",
        L"vrkh1:4:CORP:4:anna",
        L"VRKH1:4:CORP:4:ann",   // user shorter than announced
        L"VRKH1:4:CORP:4:annaX", // trailing text
        L"VRKH1:5:CORP:4:anna",  // domain length runs into the separator
        L"VRKH1:4:CORP4:anna",   // separator missing
        L"VRKH1:04:CORP:4:anna", // leading zero
        L"VRKH1:-4:CORP:4:anna",
        L"VRKH1:x:CORP:4:anna",
        L"VRKH1:4:CORP:4",
        L"VRKH1:100000:CORP:4:anna",  // more digits than any handle has
        L"VRKH1:4294967300:CORP:4:a", // would wrap around in 32 bits
    };
    for (const wchar_t* row : rows)
    {
        SCOPED_TRACE(::testing::Message() << "handle " << ::testing::PrintToString(std::wstring(row)));
        std::wstring domain;
        std::wstring user;
        EXPECT_FALSE(DecodeUserHandle(row, domain, user));
    }
}

TEST(UserHandleTest, Decode_TakesEmptyNamesAsWellFormed)
{
    // The handle manager never makes one with an empty user, but the format allows it;
    // such a user is simply not in the directory.
    std::wstring domain = L"poison";
    std::wstring user = L"poison";
    EXPECT_TRUE(DecodeUserHandle(L"VRKH1:0::0:", domain, user));
    EXPECT_EQ(L"", domain);
    EXPECT_EQ(L"", user);
}
