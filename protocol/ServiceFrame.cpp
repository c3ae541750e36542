#include "ServiceFrame.h"

#include <cstddef>
#include <iterator>

namespace {

constexpr std::uint8_t FrameMark = 0x7E;
constexpr std::uint8_t FrameKind = 0x10;
// Offsets 5 to 7 of every frame, between the check byte and the command.
constexpr std::uint8_t Address[] = {0xAB, 0x86, 0x00};
constexpr std::size_t CheckOffset = 4;

} // namespace

std::vector<std::uint8_t> BuildServiceFrame(const std::uint8_t* Cmd, int Count)
{
    if (Cmd == nullptr || Count < 1 || Count > MaxServiceCommand)
        return {};
    const auto n = static_cast<std::size_t>(Count);
    const std::size_t L = n + 7;

    std::vector<std::uint8_t> frame;
    frame.reserve(L + 3);
    frame.insert(frame.end(), {FrameMark, FrameKind, static_cast<std::uint8_t>(L), 0x00, 0x00});
    frame.insert(frame.end(), std::begin(Address), std::end(Address));
    frame.insert(frame.end(), Cmd, Cmd + n);

    // The check byte is still 0 here, so the exclusive-or over offsets 1 to L
    // is the value that makes it zero once stored.
    std::uint8_t check = 0;
    for (std::size_t i = 1; i <= L; ++i)
        check ^= frame[i];
    frame[CheckOffset] = check;

    unsigned sum = 0;
    for (std::size_t i = 1; i <= L; ++i)
        sum += frame[i];
    frame.push_back(static_cast<std::uint8_t>(sum >> 8));
    frame.push_back(static_cast<std::uint8_t>(sum));
    return frame;
}
