#pragma once
// Bytes as text, the one way the tool, its tools and their tests show them:
// two upper-case hexadecimal digits per byte, separated by single blanks,
// with no blank at the end ("7E 10 08"); empty for no bytes. The text reads
// back through ParseHexBytes to the same bytes.
//
// Pure function; any thread.

#include <cstdint>
#include <span>
#include <string>

std::string FrameText(std::span<const std::uint8_t> bytes);
