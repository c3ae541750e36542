// The GBK to Big5 conversion of traditional texts, byte by byte.
#include "Lx_base.h"

#include <string>

#include <gtest/gtest.h>

using namespace TOrvekFuncs;

namespace {

// Traditional characters, GBK-coded, between ASCII bytes.
const TOrvekString Mixed = Utf8ToGbk("COM1 序列埠設置 (無) 9600");
const std::string Tai = Utf8ToGbk("體").str();   // GBK F3 77
const std::string TaiBig5 = "\xC5\xE9";

TEST(FromGBK, OnlyABig5SystemConvertsAndOnlyWholePairs)
{
    std::string all;  // every byte value once, dangling leads and odd pairs among them
    for (int b = 1; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    for (std::uint16_t id : {0x0804, 0x1004, 0x0409, 0x0407})
        EXPECT_EQ(TAppLang(id).FromGBK(TOrvekString(all)), TOrvekString(all)) << id;

    const TAppLang big5(0x0404);
    EXPECT_EQ(CharsetToUtf8(big5.FromGBK(Mixed), 136), "COM1 序列埠設置 (無) 9600");
    struct Case { std::string in, out; };
    for (const Case& c : {Case{all.substr(0, 0x7F), all.substr(0, 0x7F)},   // ASCII
                          Case{Tai + "\x81", TaiBig5 + "\x81"},              // a lead at the very end
                          Case{"\x81" "0" + Tai, "\x81" "0" + TaiBig5},      // a lead before a byte below 0x40
                          Case{"\x81\xFF" "A", "\x81\xFF" "A"},              // 0xFF is no trail and no lead
                          Case{"\x80" "A", "\x80" "A"}, Case{"", ""}})
        EXPECT_EQ(big5.FromGBK(TOrvekString(c.in)).str(), c.out);

    // The type decides, not the charset; CvtBig5 switches it off.
    TAppLang lang(0x0409);
    lang.fSetCharset(136);
    EXPECT_EQ(CharsetToUtf8(lang.FromGBK(Mixed), 136), "COM1 序列埠設置 (無) 9600");
    lang.fSetCvtBig5(false);
    EXPECT_EQ(lang.FromGBK(Mixed), Mixed);
}

TEST(FromGBK, TrailByte7FIsConvertedThroughTheTable)
{
    // 81 7F names no GBK character; it must still be taken as one pair, so
    // the following pair stays aligned and converts.
    const TOrvekString big5 = TAppLang(0x0404).FromGBK(TOrvekString("\x81\x7F" + Tai));
    const std::size_t entry = TAppLang::_fGBK_No(0x81, 0x7F) * 2;
    const std::string pair{static_cast<char>(TAppLang::GB2BIG5_TAB[entry] ^ 0x80),
                           static_cast<char>(TAppLang::GB2BIG5_TAB[entry + 1])};
    EXPECT_EQ(big5.str(), pair + TaiBig5);
    EXPECT_EQ(TAppLang::_fGBK_No(0x82, 0x40), 191u);
    EXPECT_EQ(TAppLang::_fGBK_No(0xFE, 0xFE), 24065u);
    EXPECT_EQ(TAppLang::_fGBK_No(0x81, 0x3F), 0u);   // outside the table: entry 0
}

TEST(GB2BIG5_TAB, EveryCharacterBothCodePagesKnowConvertsToItself)
{
    // Independent of the generator: decode each GBK position and its Big5
    // result with iconv; where the Big5 side is not the filler, both must
    // be the same character.
    const TAppLang lang(0x0404);
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

} // namespace
