#pragma once
// The engine's line settings record translated to the terminal interface,
// and the line timing that follows from it.

#include <cstdint>

struct termios2;  // <asm/termbits.h>, which clashes with <termios.h>

namespace OrvekComm32 {
struct DCB;
}

namespace OrvekComm32::Platform {

// Applies bit rate, byte size, parity, stop bits and flow control in raw
// mode; false (errno set) when the device refuses them, when it did not
// take the bit rate (RateTaken), or the record asks for what no line can do
// (byte size outside 5-8, 1.5 stop bits beside more than 5 data bits, an
// unknown parity, bit rate 0).
//
// Ignored on this platform, the one place that says so: DSR flow control
// (fOutxDsrFlow, fDsrSensitivity), as the terminal interface has none, and
// XonLim / XoffLim, as the kernel keeps its own thresholds for sending XOFF
// and XON under input flow control.
bool ApplyLineSettings(int descriptor, const OrvekComm32::DCB& dcb);

// The translation itself: rewrites `settings` for the record; false when
// the record asks for what no line can do.
bool TranslateLineSettings(const OrvekComm32::DCB& dcb, termios2& settings);

// Bits on the line per character: start, data, parity and stop bits.
int BitsPerCharacter(const OrvekComm32::DCB& dcb);

// Whether the rate a driver reports after a setting is the one asked for.
// A UART that cannot make a rate keeps or picks another, and says so in
// the rate it reports; within 2 % counts as taken, as both ends of a line
// tolerate that much.
bool RateTaken(std::uint32_t asked, std::uint32_t reported);

// How often a wait samples the modem lines and error counters of a port
// that has them: the terminal interface has no pollable line change event.
constexpr int LineSampleMs = 50;

// How long a wait for the driver's output to drain may sleep: the time the
// `queuedNow` bytes need on the line (rounded up, 1 ms at least, the
// sampling pace at most); the sampling pace when the queue did not shrink
// since the last look (`queuedBefore`, 0 for none), which is output held by
// XOFF or CTS, so that held output costs no more wake-ups than sampling.
int DrainWaitMs(int queuedBefore, int queuedNow, long microsPerCharacter);

} // namespace OrvekComm32::Platform
