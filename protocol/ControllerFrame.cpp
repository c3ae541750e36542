#include "ControllerFrame.h"

#include <algorithm>

namespace ControllerFrame {

std::vector<std::uint8_t> Build(std::uint8_t code, std::span<const std::uint8_t> data)
{
    const std::size_t n = std::min(data.size(), MaxData);
    const std::size_t length = n + 1;
    std::vector<std::uint8_t> frame;
    frame.reserve(n + 4);
    frame.push_back(FrameMark);
    frame.push_back(static_cast<std::uint8_t>(length & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(length >> 8));
    frame.push_back(code);
    frame.insert(frame.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(n));
    return frame;
}

std::vector<std::uint8_t> BuildLineSettings(int parityIndex, int baudIndex)
{
    const std::uint8_t codes[] = {static_cast<std::uint8_t>(parityIndex), static_cast<std::uint8_t>(baudIndex)};
    return Build(LineSettings, codes);
}

std::optional<std::uint8_t> ReceivedCode(std::span<const std::uint8_t> package)
{
    if (package.size() < 4 || package[0] != FrameMark)
        return std::nullopt;
    return package[3];
}

} // namespace ControllerFrame
