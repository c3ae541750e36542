// How the process language, its font and its setters follow the system
// language and each other.
#include "Lx_base.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

using namespace TOrvekFuncs;

namespace {

// Sets the three locale variables for one test and puts back what was there.
class LocaleEnvironment {
public:
    LocaleEnvironment()
    {
        for (int i = 0; i < 3; ++i)
            if (const char* value = std::getenv(Names[i]))
                Saved[i] = value;
    }
    ~LocaleEnvironment()
    {
        for (int i = 0; i < 3; ++i)
            Set(Names[i], Saved[i] ? Saved[i]->c_str() : nullptr);
    }
    // nullptr unsets the variable.
    void Use(const char* lcAll, const char* lcMessages, const char* lang)
    {
        Set("LC_ALL", lcAll);
        Set("LC_MESSAGES", lcMessages);
        Set("LANG", lang);
    }

private:
    static void Set(const char* name, const char* value)
    {
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    static constexpr const char* Names[3] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    std::optional<std::string> Saved[3];
};

const TOrvekString English = TAppLang::Str_MsSansSerif;
const TOrvekString SongTi = TAppLang::Str_SongTi;
const TOrvekString XiMyTi = TAppLang::Str_XiMyTi;

} // namespace

TEST(AppLang, LanguageIdentifiersChooseTypeCharsetAndFont)
{
    struct Case { std::uint16_t id; TLangType type; unsigned char charset; const TOrvekString& font; int size; };
    const Case cases[] = {
        {0x0804, ltGbk, 134, SongTi, 9},     // PRC
        {0x1004, ltGbk, 134, SongTi, 9},     // Singapore
        {0x0404, ltBig5, 136, XiMyTi, 9},    // Taiwan
        {0x0C04, ltBig5, 136, XiMyTi, 9},    // Hong Kong
        {0x1404, ltBig5, 136, XiMyTi, 9},    // Macau
        {0x0004, ltBig5, 136, XiMyTi, 9},    // Chinese without a region
        {0x0409, ltEnglish, 0, English, 8},
        {0x0407, ltEnglish, 0, English, 8},  // German
        {0x0411, ltEnglish, 0, English, 8},  // Japanese
        {0x0808, ltEnglish, 0, English, 8},  // Greek: sublanguage 2 alone must not give GBK
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "LangId 0x" << std::hex << c.id);
        TAppLang lang(c.id);
        EXPECT_EQ(lang.LangId(), c.id);
        EXPECT_EQ(lang.LangType(), c.type);
        EXPECT_EQ(lang.Charset(), c.charset);
        EXPECT_EQ(lang.FontName(), c.font);
        EXPECT_EQ(lang.FontSize(), c.size);
        EXPECT_TRUE(lang.CvtBig5());
        EXPECT_EQ(lang.DetectType(), dtSystem);
    }
}

TEST(AppLang, FaceNamesAreStoredInTheirOwnCodePage)
{
    EXPECT_EQ(SongTi, TOrvekString("\xCB\xCE\xCC\xE5"));
    EXPECT_EQ(CharsetToUtf8(SongTi, 134), "宋体");
    EXPECT_EQ(XiMyTi, TOrvekString("\xB2\xD3\xA9\xFA\xC5\xE9"));
    EXPECT_EQ(CharsetToUtf8(XiMyTi, 136), "細明體");
}

TEST(LocaleEnvironment, FirstNonEmptyVariableGivesTheLanguage)
{
    LocaleEnvironment env;
    struct Case { const char* lcAll; const char* lcMessages; const char* lang; std::uint16_t id; };
    const Case cases[] = {
        {nullptr, nullptr, "zh_CN.UTF-8", 0x0804},
        {nullptr, nullptr, "zh_SG.GB2312", 0x1004},
        {nullptr, nullptr, "zh_TW.Big5", 0x0404},
        {nullptr, nullptr, "zh_HK.UTF-8", 0x0C04},
        {nullptr, nullptr, "zh_MO", 0x1404},
        {nullptr, nullptr, "zh", 0x0004},
        {nullptr, nullptr, "de_DE.UTF-8@euro", 0x0407},
        {nullptr, nullptr, "ja_JP.eucJP", 0x0411},
        {nullptr, nullptr, "C", 0x0409},
        {nullptr, nullptr, "POSIX", 0x0409},
        {nullptr, nullptr, "C.UTF-8", 0x0409},
        {nullptr, nullptr, "xx_YY", 0x0409},
        {nullptr, nullptr, nullptr, 0x0409},
        {"zh_TW.UTF-8", "zh_CN.UTF-8", "de_DE", 0x0404},   // LC_ALL first
        {"", "zh_CN.UTF-8", "de_DE", 0x0804},              // an empty one is skipped
        {nullptr, "", "zh_SG", 0x1004},
        {"C", "zh_CN.UTF-8", "zh_CN.UTF-8", 0x0409},       // C set counts as set
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.lcAll ? c.lcAll : "-") << " / "
                                        << (c.lcMessages ? c.lcMessages : "-") << " / " << (c.lang ? c.lang : "-"));
        env.Use(c.lcAll, c.lcMessages, c.lang);
        EXPECT_EQ(LangIdFromLocaleEnvironment(), c.id);
        EXPECT_EQ(TAppLang().LangId(), c.id);
    }
}

TEST(AppLangSetters, CharsetChangesTheTypeButNotTheFont)
{
    TAppLang lang(0x0409);
    lang.fSetCharset(136);
    EXPECT_EQ(lang.Charset(), 136);
    EXPECT_EQ(lang.LangType(), ltBig5);
    EXPECT_EQ(lang.DetectType(), dtManual);
    EXPECT_EQ(lang.FontName(), English);
    EXPECT_EQ(lang.FontSize(), 8);

    lang.fSetCharset(134);
    EXPECT_EQ(lang.LangType(), ltGbk);
    lang.fSetCharset(77);
    EXPECT_EQ(lang.Charset(), 77);
    EXPECT_EQ(lang.LangType(), ltEnglish);
    EXPECT_EQ(lang.FontName(), English);
}

TEST(AppLangSetters, LangTypeBringsItsFontAndStaysManual)
{
    TAppLang lang(0x0409);
    lang.fSetLangType(ltBig5);
    EXPECT_EQ(lang.DetectType(), dtManual);
    EXPECT_EQ(lang.Charset(), 136);
    EXPECT_EQ(lang.FontName(), XiMyTi);
    EXPECT_EQ(lang.FontSize(), 9);

    // Manual detection keeps the type chosen, but refreshes its font.
    lang.fSetFontName("Custom");
    lang.fSetFontSize(14);
    lang.fSetDetectType(dtManual);
    EXPECT_EQ(lang.LangType(), ltBig5);
    EXPECT_EQ(lang.FontName(), XiMyTi);
    EXPECT_EQ(lang.FontSize(), 9);

    // Back to system detection: the type follows LangId again.
    lang.fSetDetectType(dtSystem);
    EXPECT_EQ(lang.LangType(), ltEnglish);
    EXPECT_EQ(lang.Charset(), 0);
    EXPECT_EQ(lang.FontName(), English);
    EXPECT_EQ(lang.FontSize(), 8);
}

TEST(AppLangSetters, ValuesOutsideTheEnumerationTakeTheEnglishRow)
{
    TAppLang lang(0x0804);
    lang.fSetLangType(static_cast<TLangType>(0));
    EXPECT_EQ(lang.Charset(), 0);
    EXPECT_EQ(lang.FontName(), English);
    EXPECT_EQ(lang.FontSize(), 8);
    EXPECT_EQ(lang.PdxLangDrv(), TOrvekString("ascii"));
    EXPECT_EQ(lang.MinFontSize(), 8);
}

TEST(AppLang, ParadoxDriverAndMinimumFontSizeByType)
{
    struct Case { TLangType type; const char* driver; int minSize; };
    for (const Case& c : {Case{ltGbk, "china", 9}, Case{ltBig5, "taiwan", 9}, Case{ltEnglish, "ascii", 8}}) {
        TAppLang lang(0x0409);
        lang.fSetLangType(c.type);
        EXPECT_EQ(lang.PdxLangDrv(), TOrvekString(c.driver)) << int(c.type);
        EXPECT_EQ(lang.MinFontSize(), c.minSize) << int(c.type);
    }
    // The minimum follows the type, not the font size someone set.
    TAppLang lang(0x0804);
    lang.fSetFontSize(20);
    EXPECT_EQ(lang.MinFontSize(), 9);
}

namespace {

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
