#include "ParseHexBytes.h"

#include <string>

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Parse(std::string_view text, std::size_t limit = 512)
{
    return ParseHexBytes(text, limit);
}

TEST(ParseHexBytes, SplitsAtBlanksAndTrimsControlCharacters)
{
    EXPECT_EQ(Parse("01 02 03 04 "), (Bytes{0x01, 0x02, 0x03, 0x04}));
    EXPECT_EQ(Parse("   7e     1   "), (Bytes{0x7E, 0x01}));
    EXPECT_EQ(Parse("\r\n7e\t \x01 1\x1f"), (Bytes{0x7E, 0x01}));
    EXPECT_EQ(Parse(""), Bytes{});
    EXPECT_EQ(Parse("    \t "), Bytes{});
}

TEST(ParseHexBytes, EachTokenYieldsTheLowByteOfItsLeadingDigits)
{
    EXPECT_EQ(Parse("1FF 100 -1 0x1A G7 1G"), (Bytes{0xFF, 0x00, 0xFF, 0x1A, 0x00, 0x01}));
    EXPECT_EQ(Parse("+7f 0X0b -0x1A 0x zz"), (Bytes{0x7F, 0x0B, 0xE6, 0x00, 0x00}));
    // Only the blank separates: a tab inside a token ends its number.
    EXPECT_EQ(Parse("01\t02"), (Bytes{0x01}));
    // Multi-byte characters end a number as any other non-digit does.
    EXPECT_EQ(Parse("3\xE5\xBC\x80 \xE5\xBC\x80"), (Bytes{0x03, 0x00}));
}

TEST(ParseHexBytes, TokensBeyondThirtyTwoBitsKeepTheLowByteOfTheFullValue)
{
    EXPECT_EQ(Parse("7FFFFFFF 80000000 FFFFFFFF 1FFFFFFFF 123456789AB"),
              (Bytes{0xFF, 0x00, 0xFF, 0xFF, 0xAB}));
    EXPECT_EQ(Parse("-80000001 -1FFFFFF02"), (Bytes{0xFF, 0xFE}));
}

TEST(ParseHexBytes, StopsAtTheLimit)
{
    std::string text;
    for (int i = 0; i < 600; ++i)
        text += std::to_string(i % 10) + " ";
    const Bytes bytes = Parse(text);
    ASSERT_EQ(bytes.size(), 512u);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        ASSERT_EQ(bytes[i], i % 10) << "at " << i;
    EXPECT_EQ(Parse("1 2 3", 2), (Bytes{1, 2}));
    EXPECT_EQ(Parse("1 2 3", 0), Bytes{});
}

TEST(LeadingDecimalNumber, ReadsSignAndDigitsUpToTheFirstOther)
{
    EXPECT_EQ(LeadingDecimalNumber("400"), 400);
    EXPECT_EQ(LeadingDecimalNumber(" \t+12ab"), 12);
    EXPECT_EQ(LeadingDecimalNumber("-5"), -5);
    EXPECT_EQ(LeadingDecimalNumber("A0 01"), 0);
    EXPECT_EQ(LeadingDecimalNumber(""), 0);
    EXPECT_EQ(LeadingDecimalNumber("-"), 0);
    EXPECT_EQ(LeadingDecimalNumber("01 02 03"), 1);
    EXPECT_EQ(LeadingDecimalNumber("0102030"), 102030);
}

TEST(LeadingDecimalNumber, WrapsAroundInThirtyTwoBits)
{
    EXPECT_EQ(LeadingDecimalNumber("2147483647"), 2147483647);
    EXPECT_EQ(LeadingDecimalNumber("2147483648"), -2147483647 - 1);
    EXPECT_EQ(LeadingDecimalNumber("4294967296"), 0);
    EXPECT_EQ(LeadingDecimalNumber("4294967301"), 5);
    EXPECT_EQ(LeadingDecimalNumber("-4294967295"), 1);
}

} // namespace
