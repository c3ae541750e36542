// The poll's reading of an arbitrary received package: a code only from a
// package of at least four bytes that begins with the frame mark, and then
// always its byte 3.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "ControllerFrame.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto code = ControllerFrame::ReceivedCode(std::span<const std::uint8_t>(data, size));
    const bool framed = size >= 4 && data[0] == ControllerFrame::FrameMark;
    if (code.has_value() != framed || (code && *code != data[3]))
        std::abort();
    return 0;
}
