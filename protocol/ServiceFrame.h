#pragma once
// The service frame that wraps a sensor command of n bytes (1 to 20):
//
//   7E 10 L 00 X AB 86 00 <command> S-high S-low
//
// L = n + 7 counts the bytes from offset 1 to the end of the command. X makes
// the exclusive-or of offsets 1 to L zero; S is the 16-bit sum of offsets 1
// to L (X included), sent high byte first. The frame has n + 10 bytes.
//
// Pure functions; any thread.

#include <cstdint>
#include <vector>

#include "FrameText.h" // the frame as the main window shows it

// The most command bytes one frame carries; the longest command the tool
// sends has 13.
constexpr int MaxServiceCommand = 20;

// The frame of the `Count` bytes at `Cmd`; empty when Count is below 1 or
// above MaxServiceCommand, or Cmd is null.
std::vector<std::uint8_t> BuildServiceFrame(const std::uint8_t* Cmd, int Count);
