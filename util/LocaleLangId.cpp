// The system default language identifier on Linux: taken from the locale
// environment the way the C library picks the message language.
#include "Lx_base.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace TOrvekFuncs {
namespace {

constexpr std::uint16_t MakeLangId(std::uint16_t primary, std::uint16_t sub)
{
    return static_cast<std::uint16_t>((sub << 10) | primary);
}

constexpr std::uint16_t LangEnglishUS = MakeLangId(0x09, 1);

struct LanguageCode { const char* code; std::uint16_t primary; };

// ISO 639-1 codes and their primary language identifiers.
constexpr LanguageCode Languages[] = {
    {"ar", 0x01}, {"bg", 0x02}, {"ca", 0x03}, {"zh", 0x04}, {"cs", 0x05},
    {"da", 0x06}, {"de", 0x07}, {"el", 0x08}, {"en", 0x09}, {"es", 0x0A},
    {"fi", 0x0B}, {"fr", 0x0C}, {"he", 0x0D}, {"hu", 0x0E}, {"is", 0x0F},
    {"it", 0x10}, {"ja", 0x11}, {"ko", 0x12}, {"nl", 0x13}, {"nb", 0x14},
    {"no", 0x14}, {"nn", 0x14}, {"pl", 0x15}, {"pt", 0x16}, {"ro", 0x18},
    {"ru", 0x19}, {"hr", 0x1A}, {"sk", 0x1B}, {"sq", 0x1C}, {"sv", 0x1D},
    {"th", 0x1E}, {"tr", 0x1F}, {"ur", 0x20}, {"id", 0x21}, {"uk", 0x22},
    {"be", 0x23}, {"sl", 0x24}, {"et", 0x25}, {"lv", 0x26}, {"lt", 0x27},
    {"fa", 0x29}, {"vi", 0x2A}, {"hy", 0x2B}, {"eu", 0x2D}, {"mk", 0x2F},
    {"af", 0x36}, {"ka", 0x37}, {"hi", 0x39}, {"ms", 0x3E}, {"sw", 0x41},
};

struct ChineseRegion { const char* region; std::uint16_t sub; };

constexpr ChineseRegion ChineseRegions[] = {
    {"TW", 1}, {"CN", 2}, {"HK", 3}, {"SG", 4}, {"MO", 5},
};

} // namespace

std::uint16_t LangIdFromLocaleName(const char* name)
{
    if (!name || !*name)
        return LangEnglishUS;
    // language[_territory][.codeset][@modifier]
    const std::string locale(name);
    const std::size_t languageEnd = locale.find_first_of("_.@");
    const std::string language = locale.substr(0, languageEnd);
    std::string region;
    if (languageEnd != std::string::npos && locale[languageEnd] == '_') {
        const std::size_t regionEnd = locale.find_first_of(".@", languageEnd + 1);
        region = locale.substr(languageEnd + 1, regionEnd == std::string::npos ? std::string::npos
                                                                               : regionEnd - languageEnd - 1);
    }
    for (const auto& entry : Languages) {
        if (language != entry.code)
            continue;
        if (entry.primary != 0x04)
            return MakeLangId(entry.primary, 1);
        for (const auto& chinese : ChineseRegions)
            if (region == chinese.region)
                return MakeLangId(0x04, chinese.sub);
        return MakeLangId(0x04, 0);
    }
    return LangEnglishUS; // C, POSIX and languages we do not know
}

std::uint16_t LangIdFromLocaleEnvironment()
{
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value)
            return LangIdFromLocaleName(value);
    }
    return LangEnglishUS;
}

} // namespace TOrvekFuncs
