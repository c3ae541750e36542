// The engine's line settings record reaches the system's DCB field by field.
#include "SystemDcb.h"

#include <cstring>

#include <gtest/gtest.h>

#include "CommTypes.h"

#include <windows.h>

namespace {

TEST(WindowsLineSettings, EveryFieldOfTheRecordReachesTheSystemDcb)
{
    // Both records have the same layout, so a byte-wise comparison finds a
    // field that was left out or copied into another, as long as each
    // field holds a value of its own.
    static_assert(sizeof(::DCB) == sizeof(OrvekComm32::DCB));
    OrvekComm32::DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = 921600;
    dcb.fBinary = 1;
    dcb.fParity = 0;
    dcb.fOutxCtsFlow = 1;
    dcb.fOutxDsrFlow = 0;
    dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
    dcb.fDsrSensitivity = 1;
    dcb.fTXContinueOnXoff = 0;
    dcb.fOutX = 1;
    dcb.fInX = 0;
    dcb.fErrorChar = 1;
    dcb.fNull = 0;
    dcb.fRtsControl = RTS_CONTROL_TOGGLE;
    dcb.fAbortOnError = 1;
    dcb.fDummy2 = 0x15A5A;
    dcb.wReserved = 0;
    dcb.XonLim = 2048;
    dcb.XoffLim = 512;
    dcb.ByteSize = 7;
    dcb.Parity = EVENPARITY;
    dcb.StopBits = TWOSTOPBITS;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.ErrorChar = '?';
    dcb.EofChar = 0x1A;
    dcb.EvtChar = 0x7E;
    dcb.wReserved1 = 0;

    ::DCB system;
    std::memset(&system, 0xFF, sizeof system);
    OrvekComm32::Platform::ToSystemDcb(dcb, system);
    EXPECT_EQ(std::memcmp(&system, &dcb, sizeof dcb), 0);

    // And each flag by itself, which the comparison above cannot tell
    // apart from a neighbour that holds the same bit.
    for (unsigned bit = 0; bit < 2; ++bit) {
        OrvekComm32::DCB one{};
        one.fParity = bit;
        one.fOutxDsrFlow = !bit;
        one.fInX = bit;
        one.fNull = !bit;
        ::DCB mapped{};
        OrvekComm32::Platform::ToSystemDcb(one, mapped);
        EXPECT_EQ(mapped.fParity, bit);
        EXPECT_EQ(mapped.fOutxDsrFlow, !bit);
        EXPECT_EQ(mapped.fInX, bit);
        EXPECT_EQ(mapped.fNull, !bit);
        EXPECT_EQ(mapped.DCBlength, sizeof(::DCB));
    }
}

} // namespace
