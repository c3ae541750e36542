#pragma once
// The pty's line speed in bits per second, through the kernel's termios2,
// which carries any rate (the tool's 14400 and 56000 included). Kept apart
// because the kernel's terminal structures clash with <termios.h>.

namespace ccsim {

// False when the pty refuses the rate.
bool SetLineSpeed(int fd, int baud);

// The rate the line runs at now; 0 when it cannot be read.
int LineSpeedOf(int fd);

} // namespace ccsim
