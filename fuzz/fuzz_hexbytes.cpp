// The edits' parsers on any text: the byte list never exceeds its limit
// and never has more bytes than the text has blank-separated tokens; the
// leading-number parse wraps instead of overflowing. And the frames made of
// any data: cut at the largest frame, with the length that says so, and
// read back as their code also with the parsed bytes behind them (two
// frames in one package give the first one's code).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "ControllerFrame.h"
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

    auto frame = ControllerFrame::Build(data[0], std::span(data, size));
    const std::size_t taken = std::min(size, ControllerFrame::MaxData);
    if (frame.size() != taken + 4 || static_cast<std::size_t>(frame[1] | frame[2] << 8) != taken + 1)
        std::abort();
    frame.insert(frame.end(), bytes.begin(), bytes.end());
    if (ControllerFrame::ReceivedCode(frame) != data[0])
        std::abort();
    return 0;
}
