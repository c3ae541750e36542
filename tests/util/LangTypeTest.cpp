// How the process language, its font and its setters follow the system
// language and each other; the text sets picked by it; and the fallback
// when a converter is missing.
#include "Lx_base.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "AppLangAs.h"

using namespace TOrvekFuncs;
using testsupport::AppLangAs;

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
                          Case{0x0004, ltBig5, 136, XiMyTi, 9},     // Chinese without a region
                          Case{0x0409, ltEnglish, 0, English, 8},
                          Case{0x0808, ltEnglish, 0, English, 8}}) {  // Greek: sublanguage 2 alone is not GBK
        const TAppLang lang(c.id);
        EXPECT_EQ(std::tuple(lang.LangType(), lang.Charset(), lang.FontName().str(), lang.FontSize()),
                  std::tuple(c.type, c.charset, c.font.str(), c.size)) << std::hex << c.id;
    }
    // The face names are stored in their own code pages.
    EXPECT_EQ(CharsetToUtf8(SongTi, 134), "宋体");
    EXPECT_EQ(CharsetToUtf8(XiMyTi, 136), "細明體");
}

TEST(LocaleName, LanguageAndRegionGiveTheIdentifier)
{
    struct Case { const char* name; std::uint16_t id; };
    for (const Case& c : {Case{"zh_CN.UTF-8", 0x0804}, Case{"zh_SG.GB2312", 0x1004}, Case{"zh_TW.Big5", 0x0404},
                          Case{"zh_HK.UTF-8", 0x0C04}, Case{"zh_MO", 0x1404}, Case{"zh", 0x0004},
                          Case{"de_DE.UTF-8@euro", 0x0407}, Case{"C.UTF-8", 0x0409}, Case{"xx_YY", 0x0409},
                          Case{"", 0x0409}, Case{nullptr, 0x0409}})
        EXPECT_EQ(LangIdFromLocaleName(c.name), c.id) << (c.name ? c.name : "null");
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
    for (const Case& c : {Case{{nullptr, nullptr, nullptr}, 0x0409},
                          Case{{"zh_TW.UTF-8", "zh_CN.UTF-8", "de_DE"}, 0x0404},   // LC_ALL first
                          Case{{nullptr, "zh_TW.UTF-8", "zh_CN.UTF-8"}, 0x0404},  // then LC_MESSAGES
                          Case{{"", nullptr, "zh_CN.UTF-8"}, 0x0804},              // an empty one is skipped
                          Case{{"C", "zh_CN.UTF-8", "zh_CN.UTF-8"}, 0x0409}}) {    // C set counts as set
        for (int i = 0; i < 3; ++i)
            set(names[i], c.vars[i]);
        EXPECT_EQ(TAppLang().LangId(), c.id) << (c.vars[2] ? c.vars[2] : "-") << (c.vars[0] ? c.vars[0] : "-");
    }
    for (int i = 0; i < 3; ++i)
        set(names[i], saved[i] ? saved[i]->c_str() : nullptr);
}

TEST(AppLangSetters, EachKeepsTheFieldsConsistent)
{
    // The type brings its charset and font; the charset changes the type
    // but not the font.
    TAppLang lang(0x0409);
    lang.fSetLangType(ltBig5);
    EXPECT_EQ(lang.Charset(), 136);
    lang.fSetCharset(134);
    EXPECT_EQ(lang.LangType(), ltGbk);
    EXPECT_EQ(lang.FontName(), XiMyTi);

    // Manual detection keeps the type but refreshes its font; system
    // detection follows LangId again.
    lang.fSetDetectType(dtManual);
    EXPECT_EQ(lang.LangType(), ltGbk);
    EXPECT_EQ(lang.FontName(), SongTi);
    lang.fSetDetectType(dtSystem);
    EXPECT_EQ(lang.LangType(), ltEnglish);

    // A type outside the enumeration takes the English row.
    lang.fSetLangType(static_cast<TLangType>(0));
    EXPECT_EQ(lang.FontName(), English);
    EXPECT_EQ(lang.MinFontSize(), 8);
}

const TLangTextSet Sample({"打开", "端口"}, {"打開", "序列埠"}, {"Open", "Port"});

TEST(LangText, PicksTheTableByTheProcessLanguage)
{
    EXPECT_TRUE(Sample.Entry(ltEnglish, 2).IsEmpty());                    // past the end
    struct Case { TLangType type; std::size_t index; unsigned char charset; const char* shown; };
    for (const Case& c : {Case{ltGbk, 0, 134, "打开"}, Case{ltBig5, 1, 136, "序列埠"}, Case{ltEnglish, 0, 0, "Open"},
                          Case{static_cast<TLangType>(7), 1, 0, "Port"}}) {
        AppLangAs language(c.type);
        EXPECT_EQ(CharsetToUtf8(LangText(Sample, c.index), c.charset), c.shown) << int(c.type);
    }
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
                          Case{ltEnglish, "GBK", ltEnglish}}) {
        Missing = c.missing;
        std::ostringstream err;
        EXPECT_EQ(UsableLangType(c.type, err, OpensAllBut), c.usable) << int(c.type) << ' ' << c.missing;
        const std::string said = err.str();
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), c.usable == c.type ? 0 : 1) << said;
        EXPECT_EQ(said.find(c.missing) != std::string::npos, c.usable != c.type) << said;
    }
    EXPECT_TRUE(ConverterOpens("UTF-8", "BIG5"));
    EXPECT_FALSE(ConverterOpens("UTF-8", "NO-SUCH-CODING"));
}

} // namespace
