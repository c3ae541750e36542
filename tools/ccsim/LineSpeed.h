#pragma once
// Line speeds in bits per second and the termios speed codes of the pty.
// Kept apart so that <termios.h> stays out of the other headers.

#include <optional>

namespace ccsim {

// The termios speed code of `baud` (an unsigned speed_t), if termios has one.
std::optional<unsigned> SpeedOfBaud(int baud);

// The bits per second of a termios speed code; 0 for an unknown code.
int BaudOfSpeed(unsigned speed);

} // namespace ccsim
