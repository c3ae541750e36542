// Text sets, LangText, and the decoding of library texts.
#include "Lx_base.h"

#include <gtest/gtest.h>

#include "AppLangAs.h"

using namespace TOrvekFuncs;
using testsupport::AppLangAs;

namespace {

const TLangTextSet Sample({"打开", "端口"}, {"打開", "序列埠"}, {"Open", "Port"});

TEST(LangText, PicksTheTableByTheProcessLanguage)
{
    EXPECT_EQ(Sample.Entry(ltGbk, 0), TOrvekString("\xB4\xF2\xBF\xAA"));   // 打开, stored in GBK
    EXPECT_TRUE(Sample.Entry(ltEnglish, 2).IsEmpty());                    // past the end
    struct Case { TLangType type; std::size_t index; unsigned char charset; const char* shown; };
    for (const Case& c : {Case{ltGbk, 0, 134, "打开"}, Case{ltBig5, 1, 136, "序列埠"}, Case{ltEnglish, 0, 0, "Open"},
                          Case{static_cast<TLangType>(7), 1, 0, "Port"}}) {
        AppLangAs language(c.type);
        EXPECT_EQ(CharsetToUtf8(LangText(Sample, c.index), c.charset), c.shown) << int(c.type);
    }
}

TEST(CharsetConversion, DecodesByFontCharsetAndMarksBadBytes)
{
    EXPECT_EQ(CharsetToUtf8(TOrvekString("\xA6\x72"), 136), "字");
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

} // namespace
