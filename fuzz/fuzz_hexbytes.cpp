// The edits' parsers on any text: the byte list never exceeds its limit
// and never has more bytes than the text has blank-separated tokens; the
// leading-number parse wraps instead of overflowing.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "ParseHexBytes.h"

namespace {

// Only the blank separates; other control characters stay inside a token
// unless they are at either end of the text.
std::size_t TokenCount(std::string_view text)
{
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
        count += text[i] != ' ' && (i == 0 || text[i - 1] == ' ');
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t limit = data[0] % 40;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    const auto bytes = ParseHexBytes(text, limit);
    if (bytes.size() > limit || bytes.size() > TokenCount(text))
        std::abort();
    (void)LeadingDecimalNumber(text);
    return 0;
}
