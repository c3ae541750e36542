// Character set conversion through glibc's iconv.
#include "Lx_base.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace TOrvekFuncs {
namespace {

// The bytes to step over when the input at `in` cannot be converted: one,
// or for UTF-8 the whole character, so that a character the target lacks
// gives one replacement and not one per byte.
std::size_t BadSequenceLength(bool utf8, const char* in, std::size_t left)
{
    std::size_t length = 1;
    if (utf8 && static_cast<unsigned char>(in[0]) >= 0xC0)
        while (length < left && length < 4 && (static_cast<unsigned char>(in[length]) & 0xC0) == 0x80)
            ++length;
    return length;
}

// Converts the whole input, replacing each sequence that cannot be
// converted by `replacement` (already in the target coding) and going on
// after it.
std::string Convert(const char* to, const char* from, std::string_view input, std::string_view replacement)
{
    const bool fromUtf8 = std::strcmp(from, "UTF-8") == 0;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::string(input);
    std::string output;
    output.reserve(input.size() * 2);
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char chunk[256];
    while (inLeft > 0) {
        char* out = chunk;
        std::size_t outLeft = sizeof chunk;
        const std::size_t result = iconv(cd, &in, &inLeft, &out, &outLeft);
        output.append(chunk, static_cast<std::size_t>(out - chunk));
        if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
            // EILSEQ or EINVAL (a sequence cut short).
            output.append(replacement);
            const std::size_t skip = BadSequenceLength(fromUtf8, in, inLeft);
            in += skip;
            inLeft -= skip;
        }
    }
    iconv_close(cd);
    return output;
}

} // namespace

TOrvekString Utf8ToGbk(const char* utf8)
{
    return TOrvekString(Convert("GBK", "UTF-8", utf8 ? utf8 : "", "?"));
}

std::string CharsetToUtf8(const TOrvekString& text, unsigned char charset)
{
    const char* from = charset == 134 ? "GBK" : charset == 136 ? "BIG5" : "CP1252";
    return Convert("UTF-8", from, text.view(), "\xEF\xBF\xBD");
}

bool ConverterOpens(const char* to, const char* from)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    iconv_close(cd);
    return true;
}

} // namespace TOrvekFuncs
