#include "LineSpeed.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace ccsim {

bool SetLineSpeed(int fd, int baud)
{
    termios2 settings {};
    if (baud <= 0 || ioctl(fd, TCGETS2, &settings) != 0)
        return false;
    settings.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    settings.c_ispeed = settings.c_ospeed = static_cast<speed_t>(baud);
    return ioctl(fd, TCSETS2, &settings) == 0;
}

int LineSpeedOf(int fd)
{
    termios2 settings {};
    return ioctl(fd, TCGETS2, &settings) == 0 ? static_cast<int>(settings.c_ospeed) : 0;
}

} // namespace ccsim
