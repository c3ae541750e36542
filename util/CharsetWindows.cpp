// Character set conversion through the system's code pages: UTF-8 to UTF-16
// to the target. The system replaces what a code page lacks by its
// default character, which here is asked to be '?' (or U+FFFD to UTF-8).
#include "Lx_base.h"

#include <cstring>
#include <string_view>

#include <windows.h>

namespace TOrvekFuncs {
namespace {

constexpr UINT GbkCodePage = 936, Big5CodePage = 950, WesternCodePage = 1252;

std::wstring Widen(UINT codePage, std::string_view text)
{
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int wide = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    std::wstring result(static_cast<std::size_t>(wide > 0 ? wide : 0), L'\0');
    if (wide > 0)
        MultiByteToWideChar(codePage, 0, text.data(), size, result.data(), wide);
    return result;
}

std::string Narrow(UINT codePage, const std::wstring& text)
{
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    // UTF-8 takes no default character; it can code every character anyway.
    const char* replacement = codePage == CP_UTF8 ? nullptr : "?";
    const int narrow = WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0, replacement, nullptr);
    std::string result(static_cast<std::size_t>(narrow > 0 ? narrow : 0), '\0');
    if (narrow > 0)
        WideCharToMultiByte(codePage, 0, text.data(), size, result.data(), narrow, replacement, nullptr);
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
