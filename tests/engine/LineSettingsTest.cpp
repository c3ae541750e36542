// The line settings the engine applies at open, read back from the
// terminal through the descriptor the test holds on the same device; the
// translation of what a pty cannot carry; and the line timing.
#include <gtest/gtest.h>

// The kernel's terminal structures carry any bit rate; they clash with
// <termios.h>, which this file therefore does not include.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <iterator>
#include <vector>

#include "BaudRates.h"
#include "EngineSupport.h"
#include "PtyPort.h"
#include "linux/LineSettings.h"

using namespace OrvekComm32;
using namespace enginetest;

namespace {

TEST(LineSettings, EveryOfferedBitRateAndTheFlowControlAreApplied)
{
    testsupport::PortDirectory ports;
    testsupport::PtyPort pty{6};
    TComm32 engine;
    engine.UsePortNo(6);
    const auto applied = [&] {
        termios2 settings{};
        EXPECT_EQ(ioctl(pty.SlaveFd(), TCGETS2, &settings), 0);
        return settings;
    };
    // The offered rates, and one typed rate beyond the table.
    std::vector<std::uint32_t> rates(std::begin(BaudRates), std::end(BaudRates));
    rates.push_back(230400);
    for (std::uint32_t rate : rates) {
        engine.DCB.BaudRate = rate;
        engine.Open();
        EXPECT_EQ(applied().c_ospeed, rate);
        EXPECT_EQ(applied().c_ispeed, rate);
        engine.Close();
    }
    for (const auto flow : {TComm32::fcRtsCtsXonXoff, TComm32::fcNone}) {
        engine.fSetFCtrl(flow);
        engine.Open();
        const bool on = flow != TComm32::fcNone;
        EXPECT_EQ(bool(applied().c_cflag & CRTSCTS), on);
        EXPECT_EQ(applied().c_iflag & (IXON | IXOFF), on ? IXON | IXOFF : 0u);
        EXPECT_EQ(applied().c_cc[VSTART] * 256 + applied().c_cc[VSTOP], 0x1113);
    }
    engine.Close();
    engine.DCB.ByteSize = 9;  // no line has it: code 8, and the device stays free
    EXPECT_EQ(OpenFailure(engine).ErrorCode, EComm32Error::ecSetCommState);
    engine.DCB.ByteSize = 8;
    EXPECT_EQ(OpenFailure(engine).ErrorCode, EComm32Error::ecNone);
}

// Pseudo-terminals force 8 bits without parity, so the record's byte
// size, parity and stop bits are checked on the translation itself.
TEST(LineSettings, ByteSizeParityAndStopBitsTranslated)
{
    const struct {
        std::uint8_t ByteSize, Parity, StopBits;
        bool Valid;
        tcflag_t Flags;
    } cases[] = {
        {8, 0, 0, true, CS8},
        {7, 1, 0, true, CS7 | PARENB | PARODD},
        {7, 2, 2, true, CS7 | PARENB | CSTOPB},
        {6, 3, 0, true, CS6 | PARENB | PARODD | CMSPAR},
        {5, 4, 1, true, CS5 | PARENB | CMSPAR | CSTOPB},  // 1.5 stop bits beside 5 data bits
        {4, 0, 0, false, 0},
        {8, 5, 0, false, 0},
        {8, 0, 1, false, 0},
        {8, 0, 3, false, 0},
    };
    TComm32 engine;
    for (const auto& c : cases) {
        engine.DCB.ByteSize = c.ByteSize;
        engine.DCB.Parity = c.Parity;
        engine.DCB.StopBits = c.StopBits;
        termios2 settings{};
        settings.c_lflag = ICANON | ECHO | ISIG;
        settings.c_iflag = ICRNL;
        ASSERT_EQ(Platform::TranslateLineSettings(engine.DCB, settings), c.Valid);
        if (c.Valid) {
            EXPECT_EQ(settings.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB), c.Flags) << int(c.ByteSize);
            EXPECT_EQ(settings.c_cflag & (CREAD | CLOCAL), CREAD | CLOCAL);
            EXPECT_EQ(settings.c_lflag | (settings.c_iflag & ICRNL), 0u);
            EXPECT_EQ(settings.c_ospeed, 115200u);
        }
    }
}

// A pty takes any rate and always reports an empty output queue, so the
// rate check after a setting and the drain pacing are checked on their own.
TEST(LineTiming, RateReadBackAndDrainPacing)
{
    EXPECT_TRUE(Platform::RateTaken(115200, 115200));
    EXPECT_TRUE(Platform::RateTaken(56000, 57000));
    EXPECT_FALSE(Platform::RateTaken(250000, 19200));  // a UART that kept its old rate
    EXPECT_FALSE(Platform::RateTaken(56000, 57600));
    const struct {
        int Before, Now;
        long MicrosPerChar;
        int Wait;
    } cases[] = {
        {0, 100, 87, 9},      // 100 characters at 115200: 8.7 ms, rounded up
        {200, 100, 87, 9},    // draining
        {0, 1, 87, 1},        // never below 1 ms
        {0, 4000, 2084, 50},  // never above the line sampling
        {100, 100, 87, 50},   // held (XOFF, CTS): back to the line sampling
        {100, 120, 87, 50},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Platform::DrainWaitMs(c.Before, c.Now, c.MicrosPerChar), c.Wait) << c.Before << " " << c.Now;
}

} // namespace
