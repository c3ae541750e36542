#include "LineSettings.h"

// The kernel's own terminal structures: termios2 carries any bit rate
// (BOTHER), which the C library's termios cannot. They clash with
// <termios.h>, so this file uses ioctl requests only.
#include <asm/termbits.h>
#include <algorithm>
#include <cerrno>
#include <sys/ioctl.h>

#include "CommTypes.h"

namespace OrvekComm32::Platform {
namespace {

struct TStandardRate {
    std::uint32_t Rate;
    tcflag_t Code;
};

constexpr TStandardRate StandardRates[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},       {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600},
};

void SetBitRate(termios2& settings, std::uint32_t rate)
{
    settings.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    tcflag_t code = BOTHER;
    for (const auto& standard : StandardRates)
        if (standard.Rate == rate)
            code = standard.Code;
    settings.c_cflag |= code;
    settings.c_ispeed = rate;
    settings.c_ospeed = rate;
}

bool SetByteSize(termios2& settings, std::uint8_t byteSize)
{
    constexpr tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    if (byteSize < 5 || byteSize > 8)
        return false;
    settings.c_cflag &= ~CSIZE;
    settings.c_cflag |= sizes[byteSize - 5];
    return true;
}

// Parity is generated as asked; received parity is not checked, as the
// record's fParity stays off.
bool SetParity(termios2& settings, std::uint8_t parity)
{
    settings.c_cflag &= ~(PARENB | PARODD | CMSPAR);
    switch (parity) {
    case NOPARITY: return true;
    case ODDPARITY: settings.c_cflag |= PARENB | PARODD; return true;
    case EVENPARITY: settings.c_cflag |= PARENB; return true;
    case MARKPARITY: settings.c_cflag |= PARENB | CMSPAR | PARODD; return true;
    case SPACEPARITY: settings.c_cflag |= PARENB | CMSPAR; return true;
    default: return false;
    }
}

// The line knows one or two stop bits; with 5 data bits its "two" is 1.5.
bool SetStopBits(termios2& settings, std::uint8_t stopBits, std::uint8_t byteSize)
{
    settings.c_cflag &= ~CSTOPB;
    switch (stopBits) {
    case ONESTOPBIT: return true;
    case ONE5STOPBITS:
        if (byteSize != 5)
            return false;
        settings.c_cflag |= CSTOPB;
        return true;
    case TWOSTOPBITS: settings.c_cflag |= CSTOPB; return true;
    default: return false;
    }
}

// What the record asks for and this platform does not do is said with
// ApplyLineSettings in the header.
void SetFlowControl(termios2& settings, const OrvekComm32::DCB& dcb)
{
    if (dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE)
        settings.c_cflag |= CRTSCTS;
    if (dcb.fOutX)
        settings.c_iflag |= IXON;
    if (dcb.fInX)
        settings.c_iflag |= IXOFF;
    settings.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    settings.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
}

void SetRaw(termios2& settings)
{
    settings.c_iflag = IGNBRK;
    settings.c_oflag = 0;
    settings.c_lflag = 0;
    settings.c_cflag = CREAD | CLOCAL | (settings.c_cflag & (CBAUD | (CBAUD << IBSHIFT)));
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
}

} // namespace

bool TranslateLineSettings(const OrvekComm32::DCB& dcb, termios2& settings)
{
    SetRaw(settings);
    const bool valid = dcb.BaudRate > 0 && SetByteSize(settings, dcb.ByteSize) && SetParity(settings, dcb.Parity) &&
                       SetStopBits(settings, dcb.StopBits, dcb.ByteSize);
    if (!valid)
        return false;
    SetBitRate(settings, dcb.BaudRate);
    SetFlowControl(settings, dcb);
    return true;
}

bool ApplyLineSettings(int descriptor, const OrvekComm32::DCB& dcb)
{
    termios2 settings{};
    if (ioctl(descriptor, TCGETS2, &settings) != 0)
        return false;
    if (!TranslateLineSettings(dcb, settings)) {
        errno = EINVAL;
        return false;
    }
    if (ioctl(descriptor, TCSETS2, &settings) != 0)
        return false;
    termios2 taken{};
    if (ioctl(descriptor, TCGETS2, &taken) != 0)
        return false;
    if (!RateTaken(dcb.BaudRate, taken.c_ospeed)) {
        errno = EINVAL;
        return false;
    }
    return true;
}

bool RateTaken(std::uint32_t asked, std::uint32_t reported)
{
    const std::uint64_t difference = asked > reported ? asked - reported : reported - asked;
    return difference * 50 <= asked;
}

int DrainWaitMs(int queuedBefore, int queuedNow, long microsPerCharacter)
{
    if (queuedBefore > 0 && queuedNow >= queuedBefore)
        return LineSampleMs;
    const long ms = (static_cast<long>(queuedNow) * microsPerCharacter + 999) / 1000;
    return static_cast<int>(std::clamp<long>(ms, 1, LineSampleMs));
}

int BitsPerCharacter(const OrvekComm32::DCB& dcb)
{
    const int parity = dcb.Parity == NOPARITY ? 0 : 1;
    const int stop = dcb.StopBits == ONESTOPBIT ? 1 : 2;
    return 1 + dcb.ByteSize + parity + stop;
}

} // namespace OrvekComm32::Platform
