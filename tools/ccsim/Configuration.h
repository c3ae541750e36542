#pragma once
// The configuration a download hands the controller: the four byte
// sequences (commands 4 to 7) and the parity and baud codes (command 8),
// and its readable and JSON forms.
//
// Pure values and functions; any thread.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "FrameReader.h"

namespace ccsim {

// The sequences in command order: 4 "关", 5 "开", 6 "电脑", 7 "视频".
constexpr int SequenceCount = 4;

struct TConfiguration {
    std::array<std::optional<Bytes>, SequenceCount> Sequences;
    std::optional<std::uint8_t> ParityCode;
    std::optional<std::uint8_t> BaudCode;
};

// "关 (off)" and the like, for sequence index 0 to 3.
std::string SequenceName(int index);
// "无 (none)" for code 2; "no selection" for 0xFF; "unknown" otherwise.
std::string ParityMeaning(std::uint8_t code);
// "38400" for code 3; "no selection" for 0xFF; "unknown" otherwise.
std::string BaudMeaning(std::uint8_t code);

// Several lines, each ending in a line end, for the operator to read.
std::string ReadableText(const TConfiguration& configuration);

// One JSON object: "port", "off", "on", "computer", "video" (hex text as
// FrameText gives, or null when not received), "parity" and "baud" (the codes
// as numbers, or null), "parityText" and "baudText" (their meanings).
std::string JsonText(const TConfiguration& configuration, const std::string& port);

// Writes `text` to `path` through a temporary file renamed into place, so a
// reader never sees half a file. On failure returns the reason.
std::optional<std::string> WriteFileWhole(const std::string& path, const std::string& text);

} // namespace ccsim
