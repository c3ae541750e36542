#include "Lx_base.h"

#include <gtest/gtest.h>

using namespace TOrvekFuncs;

TEST(AppLang, LanguageIdentifiersChooseTypeCharsetAndFont)
{
    struct Case { std::uint16_t id; TLangType type; unsigned char charset; const char* font; int size; };
    const Case cases[] = {
        {0x0804, ltGbk, 134, TAppLang::Str_SongTi, 9},
        {0x1004, ltGbk, 134, TAppLang::Str_SongTi, 9},
        {0x0404, ltBig5, 136, TAppLang::Str_XiMyTi, 9},
        {0x0C04, ltBig5, 136, TAppLang::Str_XiMyTi, 9},
        {0x1404, ltBig5, 136, TAppLang::Str_XiMyTi, 9},
        {0x0409, ltEnglish, 0, "MS Sans Serif", 8},
        {0x0407, ltEnglish, 0, "MS Sans Serif", 8},
        {0x0411, ltEnglish, 0, "MS Sans Serif", 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        TAppLang lang(c.id);
        EXPECT_EQ(lang.LangType(), c.type);
        EXPECT_EQ(lang.Charset(), c.charset);
        EXPECT_EQ(lang.FontName(), TOrvekString(c.font));
        EXPECT_EQ(lang.FontSize(), c.size);
        EXPECT_TRUE(lang.CvtBig5());
        EXPECT_EQ(lang.DetectType(), dtSystem);
    }
}
