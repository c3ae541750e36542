// The line settings the engine applies at open, read back from the
// terminal through the descriptor the test holds on the same device; the
// translation of what a pty cannot carry; and the line timing.
#include <gtest/gtest.h>

// The kernel's terminal structures carry any bit rate; they clash with
// <termios.h>, which this file therefore does not include.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include "EngineSupport.h"
#include "PtyPort.h"
#include "linux/LineSettings.h"

using namespace OrvekComm32;
using namespace enginetest;

namespace {

termios2 Applied(const testsupport::PtyPort& pty)
{
    termios2 settings{};
    EXPECT_EQ(ioctl(pty.SlaveFd(), TCGETS2, &settings), 0);
    return settings;
}

class LineSettings : public ::testing::Test {
protected:
    testsupport::PortDirectory Ports;
    testsupport::PtyPort Pty{6};
    TComm32 Engine;
    void SetUp() override { UsePort(Engine, 6); }
};

TEST_F(LineSettings, EveryOfferedBitRateAndTheFlowControlAreApplied)
{
    for (std::uint32_t rate : {110u, 300u, 1200u, 9600u, 14400u, 19200u, 38400u, 56000u, 57600u, 76800u, 115200u,
                               128000u, 230400u, 256000u}) {
        Engine.DCB.BaudRate = rate;
        Engine.Open();
        EXPECT_EQ(Applied(Pty).c_ospeed, rate);
        EXPECT_EQ(Applied(Pty).c_ispeed, rate);
        Engine.Close();
    }
    for (const auto flow : {TComm32::fcRtsCtsXonXoff, TComm32::fcNone}) {
        Engine.fSetFCtrl(flow);
        Engine.Open();
        const termios2 settings = Applied(Pty);
        const bool on = flow != TComm32::fcNone;
        EXPECT_EQ(bool(settings.c_cflag & CRTSCTS), on);
        EXPECT_EQ(settings.c_iflag & (IXON | IXOFF), on ? IXON | IXOFF : 0u);
        EXPECT_EQ(settings.c_cc[VSTART], 0x11);
        EXPECT_EQ(settings.c_cc[VSTOP], 0x13);
    }
}

// Pseudo-terminals force 8 bits without parity, so the record's byte
// size, parity and stop bits are checked on the translation itself.
TEST(LineSettingsTranslation, ByteSizeParityAndStopBits)
{
    struct Case {
        std::uint8_t byteSize, parity, stopBits;
        tcflag_t size, parityBits, stop;
    };
    const Case cases[] = {
        {8, 0, 0, CS8, 0, 0},
        {7, 1, 0, CS7, PARENB | PARODD, 0},
        {7, 2, 2, CS7, PARENB, CSTOPB},
        {6, 3, 0, CS6, PARENB | PARODD | CMSPAR, 0},
        {5, 4, 1, CS5, PARENB | CMSPAR, CSTOPB},  // 1.5 stop bits beside 5 data bits
    };
    TComm32 engine;
    for (const auto& c : cases) {
        engine.DCB.ByteSize = c.byteSize;
        engine.DCB.Parity = c.parity;
        engine.DCB.StopBits = c.stopBits;
        termios2 settings{};
        settings.c_lflag = ICANON | ECHO | ISIG;
        settings.c_iflag = ICRNL;
        ASSERT_TRUE(Platform::TranslateLineSettings(engine.DCB, settings));
        EXPECT_EQ(settings.c_cflag & CSIZE, c.size) << int(c.byteSize);
        EXPECT_EQ(settings.c_cflag & (PARENB | PARODD | CMSPAR), c.parityBits) << int(c.parity);
        EXPECT_EQ(settings.c_cflag & CSTOPB, c.stop) << int(c.stopBits);
        EXPECT_EQ(settings.c_cflag & (CREAD | CLOCAL), CREAD | CLOCAL);
        EXPECT_EQ(settings.c_lflag | (settings.c_iflag & ICRNL), 0u);
        EXPECT_EQ(settings.c_ospeed, 115200u);
    }
}

TEST_F(LineSettings, ImpossibleSettingsFailWithCodeEight)
{
    struct Case {
        std::uint8_t byteSize, parity, stopBits;
    };
    for (const auto& c : {Case{9, 0, 0}, Case{4, 0, 0}, Case{8, 5, 0}, Case{8, 0, 1}, Case{8, 0, 3}}) {
        Engine.DCB.ByteSize = c.byteSize;
        Engine.DCB.Parity = c.parity;
        Engine.DCB.StopBits = c.stopBits;
        try {
            Engine.Open();
            ADD_FAILURE() << "opened with " << int(c.byteSize) << "/" << int(c.parity) << "/" << int(c.stopBits);
        } catch (const EComm32Error& error) {
            EXPECT_EQ(error.ErrorCode, EComm32Error::ecSetCommState);
        }
        EXPECT_FALSE(Engine.Active);
    }
    Engine.DCB.ByteSize = 8;  // the failed opens left the device free
    Engine.DCB.Parity = 0;
    Engine.DCB.StopBits = 0;
    EXPECT_NO_THROW(Engine.Open());
}

// A pty takes any rate and always reports an empty output queue, so the
// rate check after a setting and the drain pacing are checked on their own.
TEST(LineTiming, RateReadBackAndDrainPacing)
{
    EXPECT_TRUE(Platform::RateTaken(115200, 115200));
    EXPECT_TRUE(Platform::RateTaken(56000, 57000));
    EXPECT_FALSE(Platform::RateTaken(250000, 19200));  // a UART that kept its old rate
    EXPECT_FALSE(Platform::RateTaken(56000, 57600));

    struct Case {
        int Before, Now;
        long MicrosPerChar;
        int Wait;
    };
    const Case cases[] = {
        {0, 100, 87, 9},     // 100 characters at 115200: 8.7 ms, rounded up
        {200, 100, 87, 9},   // draining
        {0, 1, 87, 1},       // never below 1 ms
        {0, 4000, 2084, 50}, // never above the line sampling
        {100, 100, 87, 50},  // held (XOFF, CTS): back to the line sampling
        {100, 120, 87, 50},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Platform::DrainWaitMs(c.Before, c.Now, c.MicrosPerChar), c.Wait) << c.Before << " " << c.Now;
}

} // namespace
