// The GBK to Big5 conversion of traditional texts, byte by byte.
#include "Lx_base.h"

#include <string>

#include <gtest/gtest.h>

using namespace TOrvekFuncs;

namespace {

TAppLang Big5System() { return TAppLang(0x0404); }

// Traditional characters, GBK-coded, between ASCII bytes.
const TOrvekString Mixed = Utf8ToGbk("COM1 序列埠設置 (無) 9600");

std::string Bytes(const TOrvekString& text) { return text.str(); }

} // namespace

TEST(FromGBK, GbkAndEnglishSystemsReturnTheTextUnchanged)
{
    // Every byte value once, with dangling leads and odd pairs among them.
    std::string all;
    for (int b = 1; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    for (std::uint16_t id : {0x0804, 0x1004, 0x0409, 0x0407}) {
        const TAppLang lang(id);
        EXPECT_EQ(lang.FromGBK(Mixed), Mixed) << id;
        EXPECT_EQ(lang.FromGBK(TOrvekString(all)), TOrvekString(all)) << id;
    }
}

TEST(FromGBK, Big5SystemConvertsTraditionalTexts)
{
    const TOrvekString big5 = Big5System().FromGBK(Mixed);
    EXPECT_EQ(big5.Length(), Mixed.Length());
    EXPECT_NE(big5, Mixed);
    EXPECT_EQ(CharsetToUtf8(big5, 136), "COM1 序列埠設置 (無) 9600");
}

TEST(FromGBK, Big5SystemPassesAsciiUnchanged)
{
    std::string ascii;
    for (int b = 1; b < 0x80; ++b)
        ascii.push_back(static_cast<char>(b));
    EXPECT_EQ(Big5System().FromGBK(TOrvekString(ascii)), TOrvekString(ascii));
    EXPECT_EQ(Big5System().FromGBK(TOrvekString()), TOrvekString());
}

TEST(FromGBK, LeadBytesWithoutATrailStayAsTheyAre)
{
    const TAppLang lang = Big5System();
    const std::string tai = Utf8ToGbk("體").str();        // GBK F3 77
    const std::string taiBig5 = "\xC5\xE9";             // Big5 of 體

    // At the very end of the text.
    EXPECT_EQ(Bytes(lang.FromGBK(TOrvekString(tai + "\x81"))), taiBig5 + "\x81");
    EXPECT_EQ(Bytes(lang.FromGBK(TOrvekString("\xFE"))), "\xFE");
    // Followed by a byte below 0x40: both are single bytes.
    EXPECT_EQ(Bytes(lang.FromGBK(TOrvekString("\x81" "0" + tai))), "\x81" "0" + taiBig5);
    // 0xFF after a lead is no trail, and is itself no lead.
    EXPECT_EQ(Bytes(lang.FromGBK(TOrvekString("\x81\xFF" "A"))), "\x81\xFF" "A");
    // 0x80 and 0xFF are no leads even when a valid trail follows.
    EXPECT_EQ(Bytes(lang.FromGBK(TOrvekString("\x80" "A\xFF" "B"))), "\x80" "A\xFF" "B");
}

TEST(FromGBK, TrailByte7FIsConvertedThroughTheTable)
{
    // 81 7F names no GBK character; it must still be taken as one pair, so
    // the following pair stays aligned and converts.
    const std::string ah = Utf8ToGbk("啊").str();   // GBK B0 A1
    const TOrvekString big5 = Big5System().FromGBK(TOrvekString("\x81\x7F" + ah));
    ASSERT_EQ(big5.Length(), 4u);
    const std::size_t entry = TAppLang::_fGBK_No(0x81, 0x7F) * 2;
    EXPECT_EQ(big5[0], TAppLang::GB2BIG5_TAB[entry] ^ 0x80);
    EXPECT_EQ(big5[1], TAppLang::GB2BIG5_TAB[entry + 1]);
    EXPECT_NE(Bytes(big5).substr(0, 2), "\x81\x7F");
    EXPECT_EQ(CharsetToUtf8(TOrvekString(Bytes(big5).substr(2)), 136), "啊");
}

TEST(FromGBK, CvtBig5FalseLeavesTraditionalTextsInGbk)
{
    TAppLang lang = Big5System();
    lang.fSetCvtBig5(false);
    EXPECT_EQ(lang.LangType(), ltBig5);
    EXPECT_EQ(lang.FromGBK(Mixed), Mixed);
    lang.fSetCvtBig5(true);
    EXPECT_NE(lang.FromGBK(Mixed), Mixed);
}

TEST(FromGBK, ConversionFollowsTheTypeNotTheCharset)
{
    TAppLang lang(0x0409);
    lang.fSetCharset(136);
    EXPECT_NE(lang.FromGBK(Mixed), Mixed);
    lang.fSetLangType(ltGbk);
    EXPECT_EQ(lang.FromGBK(Mixed), Mixed);
}

TEST(GB2BIG5_TAB, IndexCoversEveryPositionRowByRow)
{
    EXPECT_EQ(TAppLang::_fGBK_No(0x81, 0x40), 0u);
    EXPECT_EQ(TAppLang::_fGBK_No(0x81, 0xFE), 190u);
    EXPECT_EQ(TAppLang::_fGBK_No(0x82, 0x40), 191u);
    EXPECT_EQ(TAppLang::_fGBK_No(0xFE, 0xFE), 24065u);
    EXPECT_EQ(sizeof TAppLang::GB2BIG5_TAB, 48132u);
    // Pairs outside the table fall back to entry 0.
    EXPECT_EQ(TAppLang::_fGBK_No(0x80, 0x40), 0u);
    EXPECT_EQ(TAppLang::_fGBK_No(0x81, 0x3F), 0u);
    EXPECT_EQ(TAppLang::_fGBK_No(0xFF, 0xFF), 0u);
}

TEST(GB2BIG5_TAB, EveryCharacterBothCodePagesKnowConvertsToItself)
{
    // Independent of the generator: decode each GBK position and its Big5
    // result with iconv; where the Big5 side is not the filler, both must
    // be the same character.
    const TAppLang lang = Big5System();
    const std::string filler = CharsetToUtf8(lang.FromGBK(TOrvekString("\x81\x7F")), 136);
    int same = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            const char gbk[] = {static_cast<char>(lead), static_cast<char>(trail), 0};
            const std::string original = CharsetToUtf8(TOrvekString(gbk, 2), 134);
            const std::string converted = CharsetToUtf8(lang.FromGBK(TOrvekString(gbk, 2)), 136);
            if (original == converted)
                ++same;
            else
                ASSERT_EQ(converted, filler) << std::hex << lead << ' ' << trail << ": " << original;
        }
    }
    // Big5 holds some 13,000 ideographs and 400 symbols; nearly all are in GBK.
    EXPECT_GT(same, 13000);
}
