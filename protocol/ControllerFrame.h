#pragma once
// The frames of the controller link: 0x7E, a 16-bit little-endian length
// counting the command byte and the data, the command byte, the data. No
// checksum, no end mark. Pure functions; any thread.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace ControllerFrame {

constexpr std::uint8_t FrameMark = 0x7E;
// The most data bytes the tool puts into one frame (length 513, 516 bytes in all).
constexpr std::size_t MaxData = 512;

// Commands sent by the tool; the controller acknowledges each with the same
// code, and answers 2 and 3 to the connect and disconnect requests.
enum TCode : std::uint8_t {
    Connect = 0x02,
    Disconnect = 0x03,
    OffSequence = 0x04,
    OnSequence = 0x05,
    ComputerSequence = 0x06,
    VideoSequence = 0x07,
    LineSettings = 0x08,
};

// The window's lists whose item positions are the codes of the line-settings
// frame; an empty selection gives 0xFF.
struct TItem {
    const char* Label; // as the window shows it
    const char* Name;  // in English, as the command-line tools take it
};
inline constexpr TItem ParityItems[] = {{"奇", "odd"}, {"偶", "even"}, {"无", "none"}};
inline constexpr TItem BaudItems[] = {{"4800", "4800"},   {"9600", "9600"},   {"19200", "19200"},
                                      {"38400", "38400"}, {"57600", "57600"}, {"76800", "76800"},
                                      {"115200", "115200"}};
constexpr std::uint8_t NoItem = 0xFF;

// The sequences the window starts with for "关", "开", "电脑" and "视频"
// (commands 4 to 7), which the command-line download takes as its defaults.
inline constexpr const char* DefaultSequences[] = {"01 02 03 04 ", "01 02 03 04 05", "01 02 03 04 06 08",
                                                   "01 02 03 04 05 06 07"};

// The frame of `code` with the first MaxData bytes of `data`.
std::vector<std::uint8_t> Build(std::uint8_t code, std::span<const std::uint8_t> data = {});

// 7E 03 00 08, then the parity and baud item indexes, each cut to one byte
// (so that no selection, -1, gives 0xFF).
std::vector<std::uint8_t> BuildLineSettings(int parityIndex, int baudIndex);

// The code that a received package carries: its byte 3 when it begins with
// the frame mark. The length field and the bytes after the code are not
// looked at, so one package holding two frames gives the first one's code.
// A package of fewer than 4 bytes carries no code.
std::optional<std::uint8_t> ReceivedCode(std::span<const std::uint8_t> package);

} // namespace ControllerFrame
