// The conversions between code pages: GBK to Big5 for traditional texts,
// byte by byte, and the decoding and encoding of library texts.
#include "Lx_base.h"

#include <string>

#include <gtest/gtest.h>

using namespace TOrvekFuncs;

namespace {

const char* const MixedText = "COM1 序列埠設置 (無) 9600";
const std::string Tai = Utf8ToGbk("體").str();   // GBK F3 77
const std::string TaiBig5 = "\xC5\xE9";

std::string Big5Of(const std::string& gbk)
{
    return TAppLang(0x0404).FromGBK(TOrvekString(gbk)).str();
}

TEST(FromGBK, OnlyABig5SystemConvertsAndOnlyWholePairs)
{
    std::string all;  // every byte value once, dangling leads and odd pairs among them
    for (int b = 1; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    EXPECT_EQ(TAppLang(0x0804).FromGBK(TOrvekString(all)), TOrvekString(all));

    // 81 7F names no GBK character; it is still one pair, so the next stays aligned.
    struct Case { std::string in, out; };
    for (const Case& c : {Case{all.substr(0, 0x7F), all.substr(0, 0x7F)},   // ASCII
                          Case{Tai + "\x81", TaiBig5 + "\x81"},              // a lead at the very end
                          Case{"\x81" "0" + Tai, "\x81" "0" + TaiBig5},      // a lead before a byte below 0x40
                          Case{"\x81\xFF" "A", "\x81\xFF" "A"},              // 0xFF is no trail and no lead
                          Case{"\x81\x7F" + Tai, Big5Of("\x81\x7F") + TaiBig5},
                          Case{"\x80" "A", "\x80" "A"}, Case{"", ""}})
        EXPECT_EQ(Big5Of(c.in), c.out) << c.in;

    // The type decides, not the charset; CvtBig5 switches it off.
    TAppLang lang(0x0409);
    lang.fSetCharset(136);
    EXPECT_EQ(CharsetToUtf8(lang.FromGBK(Utf8ToGbk(MixedText)), 136), MixedText);
    lang.fSetCvtBig5(false);
    EXPECT_EQ(lang.FromGBK(Utf8ToGbk(MixedText)), Utf8ToGbk(MixedText));
}

TEST(CharsetConversion, DecodesByFontCharsetAndMarksBadBytes)
{
    EXPECT_EQ(CharsetToUtf8(TOrvekString("caf\xE9"), 0), "café");
    // A lead byte cut off at the end, and one before an impossible trail.
    EXPECT_EQ(CharsetToUtf8(TOrvekString("A\xD7"), 134), "A\uFFFD");
    EXPECT_EQ(CharsetToUtf8(TOrvekString("\xD7" "0B"), 134), "\uFFFD0B");
    // A character GBK lacks is one '?', not one per UTF-8 byte; so is a
    // stray continuation byte and a character cut short.
    EXPECT_EQ(Utf8ToGbk("a\xF0\x9F\x98\x80" "b"), TOrvekString("a?b"));
    EXPECT_EQ(Utf8ToGbk("a\x80\xE5\xAD\x97"), TOrvekString("a?\xD7\xD6"));
    EXPECT_EQ(Utf8ToGbk("a\xE5\xAD"), TOrvekString("a?"));
}

TEST(GB2BIG5_TAB, EveryCharacterBothCodePagesKnowConvertsToItself)
{
    // Independent of the generator: decode each GBK position and its Big5
    // result with iconv; where the Big5 side is not the filler, both must
    // be the same character.
    const std::string filler = CharsetToUtf8(TOrvekString(Big5Of("\x81\x7F")), 136);
    int same = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            const std::string gbk = {static_cast<char>(lead), static_cast<char>(trail)};
            const std::string original = CharsetToUtf8(TOrvekString(gbk), 134);
            const std::string converted = CharsetToUtf8(TOrvekString(Big5Of(gbk)), 136);
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
