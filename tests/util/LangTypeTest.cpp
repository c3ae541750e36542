// How the process language, its font and its setters follow the system
// language and each other; and the fallback when a converter is missing.
#include "Lx_base.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

using namespace TOrvekFuncs;

namespace {

const TOrvekString English = TAppLang::Str_MsSansSerif;
const TOrvekString SongTi = TAppLang::Str_SongTi;
const TOrvekString XiMyTi = TAppLang::Str_XiMyTi;

TEST(AppLang, LanguageIdentifiersChooseTypeCharsetAndFont)
{
    struct Case { std::uint16_t id; TLangType type; unsigned char charset; const TOrvekString& font; int size; };
    for (const Case& c : {Case{0x0804, ltGbk, 134, SongTi, 9},      // PRC
                          Case{0x1004, ltGbk, 134, SongTi, 9},      // Singapore
                          Case{0x0404, ltBig5, 136, XiMyTi, 9},     // Taiwan
                          Case{0x0C04, ltBig5, 136, XiMyTi, 9},     // Hong Kong
                          Case{0x1404, ltBig5, 136, XiMyTi, 9},     // Macau
                          Case{0x0004, ltBig5, 136, XiMyTi, 9},     // Chinese without a region
                          Case{0x0409, ltEnglish, 0, English, 8},
                          Case{0x0411, ltEnglish, 0, English, 8},   // Japanese
                          Case{0x0808, ltEnglish, 0, English, 8}}) {  // Greek: sublanguage 2 alone is not GBK
        const TAppLang lang(c.id);
        EXPECT_EQ(lang.LangType(), c.type) << std::hex << c.id;
        EXPECT_EQ(lang.Charset(), c.charset) << std::hex << c.id;
        EXPECT_EQ(lang.FontName(), c.font) << std::hex << c.id;
        EXPECT_EQ(lang.FontSize(), c.size) << std::hex << c.id;
    }
    // The face names are stored in their own code pages.
    EXPECT_EQ(CharsetToUtf8(SongTi, 134), "宋体");
    EXPECT_EQ(CharsetToUtf8(XiMyTi, 136), "細明體");
}

TEST(LocaleEnvironment, FirstNonEmptyVariableGivesTheLanguage)
{
    const char* const names[3] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    std::optional<std::string> saved[3];
    for (int i = 0; i < 3; ++i)
        if (const char* value = std::getenv(names[i]))
            saved[i] = value;
    auto set = [](const char* name, const char* value) { value ? setenv(name, value, 1) : unsetenv(name); };

    struct Case { const char* vars[3]; std::uint16_t id; };
    for (const Case& c : {Case{{nullptr, nullptr, "zh_CN.UTF-8"}, 0x0804}, Case{{nullptr, nullptr, "zh_SG.GB2312"}, 0x1004},
                          Case{{nullptr, nullptr, "zh_TW.Big5"}, 0x0404}, Case{{nullptr, nullptr, "zh_HK.UTF-8"}, 0x0C04},
                          Case{{nullptr, nullptr, "zh_MO"}, 0x1404}, Case{{nullptr, nullptr, "zh"}, 0x0004},
                          Case{{nullptr, nullptr, "de_DE.UTF-8@euro"}, 0x0407}, Case{{nullptr, nullptr, "C"}, 0x0409},
                          Case{{nullptr, nullptr, "C.UTF-8"}, 0x0409}, Case{{nullptr, nullptr, "xx_YY"}, 0x0409},
                          Case{{nullptr, nullptr, nullptr}, 0x0409},
                          Case{{"zh_TW.UTF-8", "zh_CN.UTF-8", "de_DE"}, 0x0404},   // LC_ALL first
                          Case{{"", "zh_CN.UTF-8", "de_DE"}, 0x0804},              // an empty one is skipped
                          Case{{"C", "zh_CN.UTF-8", "zh_CN.UTF-8"}, 0x0409}}) {    // C set counts as set
        for (int i = 0; i < 3; ++i)
            set(names[i], c.vars[i]);
        EXPECT_EQ(TAppLang().LangId(), c.id) << (c.vars[2] ? c.vars[2] : "-");
    }
    for (int i = 0; i < 3; ++i)
        set(names[i], saved[i] ? saved[i]->c_str() : nullptr);
}

TEST(AppLangSetters, EachKeepsTheFieldsConsistent)
{
    // The charset changes the type but not the font.
    TAppLang lang(0x0409);
    lang.fSetCharset(136);
    EXPECT_EQ(lang.LangType(), ltBig5);
    EXPECT_EQ(lang.DetectType(), dtManual);
    EXPECT_EQ(lang.FontName(), English);
    lang.fSetCharset(77);
    EXPECT_EQ(lang.LangType(), ltEnglish);

    // The type brings its font; manual detection keeps the type but
    // refreshes its font; system detection follows LangId again.
    lang.fSetLangType(ltBig5);
    EXPECT_EQ(lang.Charset(), 136);
    lang.fSetFontName("Custom");
    lang.fSetFontSize(14);
    lang.fSetDetectType(dtManual);
    EXPECT_EQ(lang.LangType(), ltBig5);
    EXPECT_EQ(lang.FontName(), XiMyTi);
    EXPECT_EQ(lang.MinFontSize(), 9);
    EXPECT_EQ(lang.PdxLangDrv(), TOrvekString("taiwan"));
    lang.fSetDetectType(dtSystem);
    EXPECT_EQ(lang.LangType(), ltEnglish);
    EXPECT_EQ(lang.FontSize(), 8);

    // A type outside the enumeration takes the English row.
    lang.fSetLangType(static_cast<TLangType>(0));
    EXPECT_EQ(lang.FontName(), English);
    EXPECT_EQ(lang.PdxLangDrv(), TOrvekString("ascii"));
    EXPECT_EQ(lang.MinFontSize(), 8);
}

const char* Missing = nullptr;  // the coding whose converters the stand-in refuses

bool OpensAllBut(const char* to, const char* from)
{
    return std::string(to) != Missing && std::string(from) != Missing;
}

TEST(UsableLangType, ChineseFallsBackToEnglishWithOneLineWhenItsConverterIsMissing)
{
    struct Case { TLangType type; const char* missing; TLangType usable; };
    for (const Case& c : {Case{ltGbk, "GBK", ltEnglish}, Case{ltBig5, "BIG5", ltEnglish},
                          Case{ltBig5, "GBK", ltEnglish}, Case{ltGbk, "BIG5", ltGbk},
                          Case{ltEnglish, "GBK", ltEnglish}, Case{ltGbk, "NONE", ltGbk}}) {
        Missing = c.missing;
        std::ostringstream err;
        EXPECT_EQ(UsableLangType(c.type, err, OpensAllBut), c.usable) << int(c.type) << ' ' << c.missing;
        const std::string said = err.str();
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), c.usable == c.type ? 0 : 1) << said;
        if (c.usable != c.type) {
            EXPECT_NE(said.find(c.missing), std::string::npos) << said;
        }
    }
    // This system has them all.
    std::ostringstream err;
    EXPECT_EQ(UsableLangType(ltBig5, err), ltBig5);
    EXPECT_FALSE(ConverterOpens("UTF-8", "NO-SUCH-CODING"));
}

} // namespace
