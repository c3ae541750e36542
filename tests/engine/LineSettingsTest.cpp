// The line settings the engine applies at open, read back from the
// terminal through the descriptor the test holds on the same device.
#include <gtest/gtest.h>

// The kernel's terminal structures carry any bit rate; they clash with
// <termios.h>, which this file therefore does not include.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include "EngineHelpers.h"
#include "PtyPort.h"
#include "TComm32.h"
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

TEST_F(LineSettings, EveryOfferedBitRateIsApplied)
{
    for (std::uint32_t rate : {110u, 300u, 1200u, 9600u, 14400u, 19200u, 38400u, 56000u, 57600u, 76800u, 115200u,
                               128000u, 230400u, 256000u}) {
        Engine.DCB.BaudRate = rate;
        Engine.Open();
        EXPECT_EQ(Applied(Pty).c_ospeed, rate);
        EXPECT_EQ(Applied(Pty).c_ispeed, rate);
        Engine.Close();
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
        EXPECT_EQ(settings.c_lflag, 0u);
        EXPECT_EQ(settings.c_iflag & ICRNL, 0u);
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
    // The failed opens left the device free.
    Engine.DCB.ByteSize = 8;
    Engine.DCB.Parity = 0;
    Engine.DCB.StopBits = 0;
    EXPECT_NO_THROW(Engine.Open());
}

TEST_F(LineSettings, FlowControlMapsToTheTerminalFlags)
{
    Engine.fSetFCtrl(TComm32::fcRtsCtsXonXoff);
    Engine.Open();
    termios2 settings = Applied(Pty);
    EXPECT_TRUE(settings.c_cflag & CRTSCTS);
    EXPECT_TRUE(settings.c_iflag & IXON);
    EXPECT_TRUE(settings.c_iflag & IXOFF);
    EXPECT_EQ(settings.c_cc[VSTART], 0x11);
    EXPECT_EQ(settings.c_cc[VSTOP], 0x13);

    Engine.fSetFCtrl(TComm32::fcNone);
    Engine.Open();
    settings = Applied(Pty);
    EXPECT_FALSE(settings.c_cflag & CRTSCTS);
    EXPECT_FALSE(settings.c_iflag & (IXON | IXOFF));
}

} // namespace
