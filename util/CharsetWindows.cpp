// Character set conversion through the system's code pages: the source to
// UTF-16, then to the target. The replacements are those of the Linux
// conversion: one U+FFFD for each sequence the source cannot read, one '?'
// for each character the target lacks.
#include "Lx_base.h"

#include <cstring>
#include <string_view>

#include <windows.h>

namespace TOrvekFuncs {
namespace {

constexpr UINT GbkCodePage = 936, Big5CodePage = 950, WesternCodePage = 1252;

// The bytes of the character that starts at `in`, as the code page reads
// them; for UTF-8 a bad sequence counts its lead byte and the continuation
// bytes after it (at most four in all), so that it gives one replacement.
std::size_t UnitLength(UINT codePage, std::string_view in)
{
    const auto byte = static_cast<unsigned char>(in[0]);
    std::size_t length = 1;
    if (codePage == CP_UTF8 && byte >= 0xC0)
        while (length < in.size() && length < 4 && (static_cast<unsigned char>(in[length]) & 0xC0) == 0x80)
            ++length;
    else if (codePage != CP_UTF8 && IsDBCSLeadByteEx(codePage, byte) && in.size() > 1)
        length = 2;
    return length;
}

bool WidenStrictly(UINT codePage, std::string_view text, std::wstring& out)
{
    const int size = static_cast<int>(text.size());
    const int wide = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (wide <= 0)
        return false;
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(wide));
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), size, out.data() + at, wide);
    return true;
}

// Each sequence the code page cannot read becomes one U+FFFD; a DBCS lead
// byte before an impossible trail byte is one such sequence by itself.
std::wstring Widen(UINT codePage, std::string_view text)
{
    std::wstring result;
    if (text.empty() || WidenStrictly(codePage, text, result))
        return result;
    while (!text.empty()) {
        const std::size_t length = UnitLength(codePage, text);
        if (!WidenStrictly(codePage, text.substr(0, length), result)) {
            result.push_back(L'\xFFFD');
            // A bad DBCS pair gives its lead byte only; the next byte may
            // start a character of its own.
            text.remove_prefix(codePage == CP_UTF8 ? length : 1);
            continue;
        }
        text.remove_prefix(length);
    }
    return result;
}

// One character (a surrogate pair counts as one) to the code page; `lacking`
// tells whether the code page has it.
std::string NarrowOne(UINT codePage, const wchar_t* text, int size, bool& lacking)
{
    BOOL usedDefault = FALSE;
    // UTF-8 takes no default character; it can code every character anyway.
    const bool utf8 = codePage == CP_UTF8;
    const int narrow = WideCharToMultiByte(codePage, 0, text, size, nullptr, 0, nullptr, utf8 ? nullptr : &usedDefault);
    std::string result(static_cast<std::size_t>(narrow > 0 ? narrow : 0), '\0');
    if (narrow > 0)
        WideCharToMultiByte(codePage, 0, text, size, result.data(), narrow, nullptr, nullptr);
    lacking = narrow <= 0 || usedDefault;
    return result;
}

// Each character the code page lacks becomes one '?'.
std::string Narrow(UINT codePage, const std::wstring& text)
{
    if (text.empty())
        return {};
    bool lacking = false;
    std::string whole = NarrowOne(codePage, text.data(), static_cast<int>(text.size()), lacking);
    if (!lacking)
        return whole;
    std::string result;
    for (std::size_t i = 0; i < text.size();) {
        const bool pair = IS_HIGH_SURROGATE(text[i]) && i + 1 < text.size() && IS_LOW_SURROGATE(text[i + 1]);
        const int size = pair ? 2 : 1;
        const std::string one = NarrowOne(codePage, text.data() + i, size, lacking);
        result += lacking ? std::string("?") : one;
        i += static_cast<std::size_t>(size);
    }
    return result;
}

UINT CodePageOfName(const char* name)
{
    if (std::strcmp(name, "UTF-8") == 0) return CP_UTF8;
    if (std::strcmp(name, "GBK") == 0) return GbkCodePage;
    if (std::strcmp(name, "BIG5") == 0) return Big5CodePage;
    if (std::strcmp(name, "CP1252") == 0) return WesternCodePage;
    return 0;
}

} // namespace

TOrvekString Utf8ToGbk(const char* utf8)
{
    return TOrvekString(Narrow(GbkCodePage, Widen(CP_UTF8, utf8 ? utf8 : "")));
}

std::string CharsetToUtf8(const TOrvekString& text, unsigned char charset)
{
    const UINT from = charset == 134 ? GbkCodePage : charset == 136 ? Big5CodePage : WesternCodePage;
    return Narrow(CP_UTF8, Widen(from, text.view()));
}

bool ConverterOpens(const char* to, const char* from)
{
    const UINT target = CodePageOfName(to), source = CodePageOfName(from);
    return target && source && IsValidCodePage(target) && IsValidCodePage(source);
}

} // namespace TOrvekFuncs
