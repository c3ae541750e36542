#pragma once
// The engine's line settings record translated to the terminal interface.

struct termios2;  // <asm/termbits.h>, which clashes with <termios.h>

namespace OrvekComm32 {
struct DCB;
}

namespace OrvekComm32::Platform {

// Applies bit rate, byte size, parity, stop bits and flow control in raw
// mode; false (errno set) when the device refuses them or the record asks
// for what no line can do (byte size outside 5-8, 1.5 stop bits beside more
// than 5 data bits, an unknown parity, bit rate 0).
bool ApplyLineSettings(int descriptor, const OrvekComm32::DCB& dcb);

// The translation itself: rewrites `settings` for the record; false when
// the record asks for what no line can do.
bool TranslateLineSettings(const OrvekComm32::DCB& dcb, termios2& settings);

// Bits on the line per character: start, data, parity and stop bits.
int BitsPerCharacter(const OrvekComm32::DCB& dcb);

} // namespace OrvekComm32::Platform
