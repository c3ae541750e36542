#include "Lx_base.h"

namespace TOrvekFuncs {

TAppLang AppLang;

TAppLang::TAppLang() : TAppLang(SystemDefaultLangId()) {}

TAppLang::TAppLang(std::uint16_t langId) : FLangId(langId), FCvtBig5(true)
{
    fSetDetectType(dtSystem);
}

void TAppLang::fSetDetectType(TDetectType value)
{
    FDetectType = value;
    _fLangTypeFromDetectType();
    _fCharsetFromLangType();
    _fFontNameSizeFromLangType();
}

void TAppLang::fSetLangType(TLangType value)
{
    FLangType = value;
    FDetectType = dtManual;
    _fCharsetFromLangType();
    _fFontNameSizeFromLangType();
}

void TAppLang::fSetCharset(unsigned char value)
{
    FCharset = value;
    FDetectType = dtManual;
    FLangType = value == 134 ? ltGbk : value == 136 ? ltBig5 : ltEnglish;
}

TOrvekString TAppLang::PdxLangDrv() const
{
    switch (FLangType) {
    case ltGbk: return Str_ParadoxGbk;
    case ltBig5: return Str_ParadoxBig5;
    default: return Str_ParadoxAscii;
    }
}

int TAppLang::MinFontSize() const
{
    return FLangType == ltGbk || FLangType == ltBig5 ? 9 : 8;
}

void TAppLang::_fLangTypeFromDetectType()
{
    if (FDetectType == dtManual)
        return;
    const unsigned primary = FLangId & 0x3FF;
    if (primary != 0x04) {
        FLangType = ltEnglish;
        return;
    }
    const unsigned sub = FLangId >> 10;
    FLangType = sub == 2 || sub == 4 ? ltGbk : ltBig5;
}

void TAppLang::_fCharsetFromLangType()
{
    FCharset = FLangType == ltGbk ? 134 : FLangType == ltBig5 ? 136 : 0;
}

void TAppLang::_fFontNameSizeFromLangType()
{
    switch (FLangType) {
    case ltGbk: FFontName = Str_SongTi; FFontSize = 9; break;
    case ltBig5: FFontName = Str_XiMyTi; FFontSize = 9; break;
    default: FFontName = Str_MsSansSerif; FFontSize = 8; break;
    }
}

std::size_t TAppLang::_fGBK_No(unsigned char lead, unsigned char trail)
{
    const long index = (static_cast<long>(lead) - 0x81) * 191 + (static_cast<long>(trail) - 0x40);
    return index < 0 || index >= static_cast<long>(GB2BIG5_Entries) ? 0 : static_cast<std::size_t>(index);
}

TOrvekString TAppLang::FromGBK(const TOrvekString& text) const
{
    if (FLangType != ltBig5 || !FCvtBig5)
        return text;
    const std::size_t n = text.Length();
    std::string output(text.str());
    std::size_t i = 0;
    while (i < n) {
        const unsigned char lead = text[i];
        const unsigned char trail = i + 1 < n ? text[i + 1] : 0;
        if (lead >= 0x81 && lead <= 0xFE && trail >= 0x40 && trail <= 0xFE) {
            const std::size_t entry = _fGBK_No(lead, trail) * 2;
            output[i] = static_cast<char>(GB2BIG5_TAB[entry] ^ 0x80);
            output[i + 1] = static_cast<char>(GB2BIG5_TAB[entry + 1]);
            i += 2;
        } else {
            ++i;
        }
    }
    return TOrvekString(std::move(output));
}

TLangTextSet::TLangTextSet(std::initializer_list<const char*> simplified,
                           std::initializer_list<const char*> traditional,
                           std::initializer_list<const char*> english)
{
    for (const char* text : simplified) Simplified.push_back(Utf8ToGbk(text));
    for (const char* text : traditional) Traditional.push_back(Utf8ToGbk(text));
    for (const char* text : english) English.push_back(TOrvekString(text));
}

const TOrvekString& TLangTextSet::Entry(TLangType table, std::size_t index) const
{
    static const TOrvekString empty;
    const auto& texts = table == ltGbk ? Simplified : table == ltBig5 ? Traditional : English;
    return index < texts.size() ? texts[index] : empty;
}

TOrvekString LangText(const TLangTextSet& set, std::size_t index)
{
    return AppLang.FromGBK(set.Entry(AppLang.LangType(), index));
}

} // namespace TOrvekFuncs
