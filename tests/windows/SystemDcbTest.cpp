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
    // field holds a value of its own: the one-bit flags alternate, and the
    // second round turns each of them over.
    static_assert(sizeof(::DCB) == sizeof(OrvekComm32::DCB));
    for (const unsigned flip : {0u, 1u}) {
        OrvekComm32::DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        dcb.BaudRate = 921600;
        dcb.fBinary = 1 ^ flip;
        dcb.fParity = 0 ^ flip;
        dcb.fOutxCtsFlow = 1 ^ flip;
        dcb.fOutxDsrFlow = 0 ^ flip;
        dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
        dcb.fDsrSensitivity = 1 ^ flip;
        dcb.fTXContinueOnXoff = 0 ^ flip;
        dcb.fOutX = 1 ^ flip;
        dcb.fInX = 0 ^ flip;
        dcb.fErrorChar = 1 ^ flip;
        dcb.fNull = 0 ^ flip;
        dcb.fRtsControl = RTS_CONTROL_TOGGLE;
        dcb.fAbortOnError = 1 ^ flip;
        dcb.fDummy2 = 0x15A5A;
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

        ::DCB system;
        std::memset(&system, 0xFF, sizeof system);
        OrvekComm32::Platform::ToSystemDcb(dcb, system);
        EXPECT_EQ(std::memcmp(&system, &dcb, sizeof dcb), 0) << "flags turned over: " << flip;
    }
}

} // namespace
