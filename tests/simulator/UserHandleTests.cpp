// Tests of the user handle format.
#include "SimulatorTestSupport.h"

#include "simulator/UserHandle.h"

using namespace Veyrak::Simulator;

// Decoding takes back any two names whole. It refuses anything but the exact form: another or no
// prefix, a user shorter than announced or trailing text, a domain length that runs into the
// separator, a missing separator, a leading zero, a sign or letter for a length, more digits than
// any handle has, and 4 once wrapped around in 32 bits.
TEST(UserHandleTest, RoundTripKeepsAnyCharacterOfEitherName_DecodeRefusesAnythingButTheExactForm)
{
    EXPECT_EQ(L"VRKH1:4:CORP:4:anna", EncodeUserHandle(L"CORP", L"anna"));
    EXPECT_EQ(L"VRKH1:0::3:bob", EncodeUserHandle(L"", L"bob"));
    const std::pair<std::wstring, std::wstring> rows[] = {{L"CORP", L"anna"},
                                                          {L"", L""},
                                                          {L"A:B", L"c:d"},
                                                          {L"1:x", L"2:"},
                                                          {L"VRKH1:4:CORP:4:anna", L":"},
                                                          {std::wstring(L"nul\0in", 6), L"\u00e9l\u00e8ve"},
                                                          {std::wstring(12345, L'd'), std::wstring(99999, L'u')}};
    for (const auto& [domain, user] : rows)
    {
        SCOPED_TRACE(::testing::Message() << "domain length " << domain.size());
        std::wstring decodedDomain = L"poison", decodedUser = L"poison";
        ASSERT_TRUE(DecodeUserHandle(EncodeUserHandle(domain, user), decodedDomain, decodedUser));
        EXPECT_EQ(domain, decodedDomain);
        EXPECT_EQ(user, decodedUser);
    }
    for (const wchar_t* handle : {L"", L"VRKH1:", L"VRKH2:4:CORP:4:anna", L"vrkh1:4:CORP:4:anna", L"VRKH1:4:CORP:4:ann",
                                  L"VRKH1:4:CORP:4:annaX", L"VRKH1:5:CORP:4:anna", L"VRKH1:4:CORP4:anna",
                                  L"VRKH1:04:CORP:4:anna", L"VRKH1:-4:CORP:4:anna", L"VRKH1:x:CORP:4:anna",
                                  L"VRKH1:4:CORP:4", L"VRKH1:100000:CORP:4:anna", L"VRKH1:4294967300:CORP:4:anna"})
    {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(handle)));
        std::wstring domain, user;
        EXPECT_FALSE(DecodeUserHandle(handle, domain, user));
    }
}
