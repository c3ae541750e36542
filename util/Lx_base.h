#pragma once
// Language-dependent texts of the library: the process language (AppLang),
// the dialog font that goes with it, three-language text sets, and the
// conversion of traditional texts from GBK codes to Big5 codes.
//
// Threads: AppLang is built before main() runs and is only read afterwards
// (tests may call its setters while no other thread runs); FromGBK,
// LangText and the text sets keep no state between calls and may be used
// from any thread.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iosfwd>
#include <vector>

#include "TOrvekString.h"

namespace TOrvekFuncs {

enum TLangType : std::uint8_t { ltEnglish = 1, ltGbk = 2, ltBig5 = 3 };
enum TDetectType : std::uint8_t { dtSystem = 0, dtManual = 1 };

class TAppLang {
public:
    static constexpr const char* Str_MsSansSerif = "MS Sans Serif";
    static constexpr const char* Str_SongTi = "\xCB\xCE\xCC\xE5";             // 宋体, GBK
    static constexpr const char* Str_XiMyTi = "\xB2\xD3\xA9\xFA\xC5\xE9";     // 細明體, Big5
    static constexpr const char* Str_ParadoxGbk = "china";
    static constexpr const char* Str_ParadoxBig5 = "taiwan";
    static constexpr const char* Str_ParadoxAscii = "ascii";

    // One entry per GBK double-byte position (lead 0x81-0xFE, trail
    // 0x40-0xFE), two bytes each: the Big5 code with the high byte XOR 0x80.
    static constexpr std::size_t GB2BIG5_Entries = 126 * 191;
    static const unsigned char GB2BIG5_TAB[GB2BIG5_Entries * 2];

    // The system default language (SystemDefaultLangId).
    TAppLang();
    // A given language identifier (primary language in the low 10 bits).
    explicit TAppLang(std::uint16_t langId);
    virtual ~TAppLang() = default;

    std::uint16_t LangId() const { return FLangId; }
    TLangType LangType() const { return FLangType; }
    const TOrvekString& FontName() const { return FFontName; }
    unsigned char Charset() const { return FCharset; }
    int FontSize() const { return FFontSize; }
    TDetectType DetectType() const { return FDetectType; }
    bool CvtBig5() const { return FCvtBig5; }
    TOrvekString PdxLangDrv() const;
    int MinFontSize() const;

    void fSetDetectType(TDetectType value);
    void fSetLangType(TLangType value);
    void fSetCharset(unsigned char value);
    void fSetFontName(TOrvekString value) { FFontName = std::move(value); }
    void fSetFontSize(int value) { FFontSize = value; }
    void fSetCvtBig5(bool value) { FCvtBig5 = value; }

    // The text in Big5 codes on a traditional-Chinese system (when CvtBig5
    // is set), otherwise an unchanged copy. Always as many bytes as given.
    TOrvekString FromGBK(const TOrvekString& text) const;

    static std::size_t _fGBK_No(unsigned char lead, unsigned char trail);

private:
    void _fLangTypeFromDetectType();
    void _fCharsetFromLangType();
    void _fFontNameSizeFromLangType();

    std::uint16_t FLangId = 0;
    TLangType FLangType = ltEnglish;
    TOrvekString FFontName;
    unsigned char FCharset = 0;
    int FFontSize = 0;
    TDetectType FDetectType = dtSystem;
    bool FCvtBig5 = true;
};

// The process language, decided once at start-up.
extern TAppLang AppLang;

// The system default language identifier, the system's piece: the locale
// environment on Linux, GetSystemDefaultLangID on Windows.
std::uint16_t SystemDefaultLangId();

// The system default language identifier from LC_ALL, LC_MESSAGES or LANG
// (the first one set and not empty); "C", "POSIX" and unknown languages
// give English.
std::uint16_t LangIdFromLocaleEnvironment();
std::uint16_t LangIdFromLocaleName(const char* name);

// Three parallel tables of texts, one index meaning the same text in each.
// Written in the source as UTF-8; held GBK-coded from construction on.
class TLangTextSet {
public:
    TLangTextSet(std::initializer_list<const char*> simplified,
                 std::initializer_list<const char*> traditional,
                 std::initializer_list<const char*> english);

    std::size_t Count() const { return English.size(); }
    // The stored (GBK or ASCII) entry of the table for a language type:
    // ltGbk the simplified table, ltBig5 the traditional one, else English.
    // An index past the end gives an empty text.
    const TOrvekString& Entry(TLangType table, std::size_t index) const;

private:
    std::vector<TOrvekString> Simplified, Traditional, English;
};

// The display text of one entry for AppLang: table by LangType, then
// AppLang.FromGBK.
TOrvekString LangText(const TLangTextSet& set, std::size_t index);

// Character set conversions, through iconv on Linux and the system's code
// pages on Windows (936 GBK, 950 Big5, 1252). Each character the target
// lacks, and each invalid input byte, becomes '?' (to GBK) or U+FFFD (to
// UTF-8).
TOrvekString Utf8ToGbk(const char* utf8);
// Decodes an 8-bit text by a font character set: 134 GBK, 136 Big5,
// anything else Windows-1252.
std::string CharsetToUtf8(const TOrvekString& text, unsigned char charset);

// Whether the system can convert from one coding to another ("UTF-8",
// "GBK", "BIG5", "CP1252").
bool ConverterOpens(const char* to, const char* from);

// The language whose texts can be shown: a Chinese language needs the
// converters between UTF-8 and GBK (and from Big5 to UTF-8 for traditional
// texts); when one does not open, one line on `err` says so and English,
// which needs none, is returned. `opens` stands in for ConverterOpens.
TLangType UsableLangType(TLangType type, std::ostream& err,
                         bool (*opens)(const char* to, const char* from) = ConverterOpens);

} // namespace TOrvekFuncs
