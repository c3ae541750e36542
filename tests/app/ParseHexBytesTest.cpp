#include "ParseHexBytes.h"

#include <string>

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(ParseHexBytes, EachBlankSeparatedTokenYieldsTheLowByteOfItsLeadingDigits)
{
    const std::vector<std::pair<std::string, Bytes>> cases = {
        {"01 02 03 04 ", {0x01, 0x02, 0x03, 0x04}},
        {"   7e     1   ", {0x7E, 0x01}},
        {"\r\n7e\t \x01 1\x1f", {0x7E, 0x01}},
        {"", {}},
        {"    \t ", {}},
        {"1FF 100 -1 0x1A G7 1G", {0xFF, 0x00, 0xFF, 0x1A, 0x00, 0x01}},
        {"+7f 0X0b -0x1A 0x zz", {0x7F, 0x0B, 0xE6, 0x00, 0x00}},
        // Only the blank separates: a tab inside a token ends its number.
        {"01\t02", {0x01}},
        // Multi-byte characters end a number as any other non-digit does.
        {"3\xE5\xBC\x80 \xE5\xBC\x80", {0x03, 0x00}},
        // Beyond 32 bits the byte is still the low byte of the full value.
        {"7FFFFFFF 80000000 FFFFFFFF 1FFFFFFFF 123456789AB", {0xFF, 0x00, 0xFF, 0xFF, 0xAB}},
        {"-80000001 -1FFFFFF02", {0xFF, 0xFE}},
    };
    for (const auto& [text, bytes] : cases)
        EXPECT_EQ(ParseHexBytes(text, 512), bytes) << text;
}

// The window's 512-byte limit is checked through the window.
TEST(ParseHexBytes, StopsAtTheLimit)
{
    EXPECT_EQ(ParseHexBytes("1 2 3", 2), (Bytes{1, 2}));
    EXPECT_EQ(ParseHexBytes("1 2 3", 0), Bytes{});
}

TEST(ChangedHexTokens, NamesEachTokenWhoseByteIsNotWhatItReads)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"01 0x7e -0 FF 0ff", ""},
        {"1FF", "1FF is above FF and gives FF"},
        {"-1", "-1 is negative and gives FF"},
        {"7 G7", "G7 has no hexadecimal digits and gives 00"},
        {"1G", "1G ends its number at 'G' and gives 01"},
        {"01\t02", "01\t02 ends its number at character 0x09 and gives 01"},
        {"1 2 3 4", "3 is the first of 2 token(s) beyond 2 bytes, which are not sent"},
    };
    for (const auto& [text, expected] : cases) {
        std::string notes;
        for (const auto& note : ChangedHexTokens(text, text == "1 2 3 4" ? 2 : 512))
            notes += note.Token + " " + note.Reason;
        EXPECT_EQ(notes, expected) << text;
    }
}

TEST(LeadingDecimalNumber, ReadsSignAndDigitsUpToTheFirstOtherWrappingInThirtyTwoBits)
{
    const std::vector<std::pair<std::string, std::int32_t>> cases = {
        {"400", 400}, {" \t+12ab", 12}, {"-5", -5}, {"A0 01", 0}, {"", 0}, {"-", 0}, {"01 02 03", 1},
        {"0102030", 102030}, {"2147483647", 2147483647}, {"2147483648", -2147483647 - 1}, {"4294967296", 0},
        {"4294967301", 5}, {"-4294967295", 1},
    };
    for (const auto& [text, number] : cases)
        EXPECT_EQ(LeadingDecimalNumber(text), number) << text;
}

} // namespace
