// The engine on real pseudo-terminals, reached through COM names in a
// private port link directory, with the test on the master end.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "AppLangAs.h"
#include "EngineHelpers.h"
#include "Notifications.h"
#include "PtyPort.h"
#include "TComm32.h"

using namespace OrvekComm32;
using namespace enginetest;
using testsupport::AppLangAs;
using testsupport::PortDirectory;
using testsupport::PtyPort;

namespace {

constexpr int LineEvents = EV_CTS | EV_DSR | EV_RLSD;

std::string Pattern(std::size_t count)
{
    std::string bytes(count, '\0');
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<char>(i % 251);
    return bytes;
}

std::string AsText(const testsupport::Bytes& bytes)
{
    return {bytes.begin(), bytes.end()};
}

class EngineOnPty : public ::testing::Test {
protected:
    PortDirectory Ports;
    PtyPort Pty{5};
    Notifications Seen;  // outlives the engine, whose destructor closes
    TComm32 Engine;

    void SetUp() override
    {
        UsePort(Engine, 5);
        Seen.Attach(Engine);
    }
};

TEST_F(EngineOnPty, OpenAndCloseTellTheOwnerOnceEach)
{
    Engine.Open();
    EXPECT_TRUE(Engine.Active);
    EXPECT_EQ(Seen.Record(), (std::vector<int>{LineEvents, Notifications::AfterOpen}));

    Engine.Open();  // already open: nothing happens
    EXPECT_EQ(Seen.Record().size(), 2u);

    Seen.Clear();
    Engine.Close();
    EXPECT_FALSE(Engine.Active);
    EXPECT_EQ(Seen.Record(), (std::vector<int>{Notifications::BeforeClose, LineEvents}));

    Seen.Clear();
    EXPECT_NO_THROW(Engine.Close());
    EXPECT_TRUE(Seen.Record().empty());
}

TEST_F(EngineOnPty, MissingPortFailsWithCodeFourAndTheSystemsReason)
{
    AppLangAs english(TOrvekFuncs::ltEnglish);
    UsePort(Engine, 99);  // beyond the fixed map, and no link
    try {
        Engine.Open();
        FAIL() << "Open of a missing port succeeded";
    } catch (const EComm32Error& error) {
        EXPECT_EQ(error.ErrorCode, EComm32Error::ecOpenPort);
        EXPECT_STREQ(error.Message().c_str(), "Cannot open COM port");
        EXPECT_EQ(error.OsError, ENOENT);
        EXPECT_NE(error.OsReason.find("COM99"), std::string::npos) << error.OsReason;
    }
    EXPECT_FALSE(Engine.Active);
    EXPECT_TRUE(Seen.Record().empty());
}

TEST_F(EngineOnPty, SecondOpenOfTheSameDeviceIsRefused)
{
    Engine.Open();
    TComm32 other;
    UsePort(other, 5);
    try {
        other.Open();
        FAIL() << "two engines opened one device";
    } catch (const EComm32Error& error) {
        EXPECT_EQ(error.ErrorCode, EComm32Error::ecOpenPort);
        EXPECT_EQ(error.OsError, EBUSY);
        EXPECT_NE(error.OsReason.find(Pty.SlavePath()), std::string::npos) << error.OsReason;
    }
    EXPECT_FALSE(other.Active);

    // The first engine is unharmed, and the device is free again once it
    // closes.
    Pty.Write(std::string("still here"));
    EXPECT_EQ(ReadFromEngine(Engine, 10), "still here");
    Engine.Close();
    EXPECT_NO_THROW(other.Open());
}

TEST_F(EngineOnPty, BytesTravelBothWays)
{
    Engine.Open();
    Pty.Write(std::string("from the controller"));
    EXPECT_EQ(ReadFromEngine(Engine, 19), "from the controller");
    EXPECT_GE(Seen.CountWith(EV_RXCHAR), 1u);

    const std::string reply = Pattern(3000);
    EXPECT_EQ(Engine.Write(reply.data(), static_cast<long>(reply.size())), 3000);
    EXPECT_EQ(AsText(Pty.ReadExactly(3000)), reply);
}

TEST_F(EngineOnPty, ReceiveQueueKeepsTheFirst8191BytesWhenNobodyReads)
{
    Engine.Open();
    const std::string flood = Pattern(10000);
    Pty.Write(flood);
    // The read thread has taken everything from the driver once the master
    // has nothing left in flight and the queue is full.
    ASSERT_TRUE(Seen.WaitFor([&](const auto&) { return Engine.InQueue->Count() == 8191; }, 5s));
    ASSERT_TRUE(Pty.Silent(100ms));
    EXPECT_GE(Seen.CountWith(EV_RXCHAR), 1u);
    EXPECT_EQ(ReadFromEngine(Engine, 10000, 300ms), flood.substr(0, 8191));
}

TEST_F(EngineOnPty, TransmitEmptyComesOnceAfterTheLastChunk)
{
    Engine.Open();
    Seen.Clear();
    const std::string data = Pattern(1000);
    ASSERT_EQ(Engine.Write(data.data(), 1000), 1000);
    EXPECT_EQ(AsText(Pty.ReadExactly(1000)), data);
    ASSERT_TRUE(Seen.WaitFor([](const auto& record) { return Notifications::CountWith(record, EV_TXEMPTY) >= 1; }));
    EXPECT_TRUE(Pty.Silent(200ms));
    EXPECT_EQ(Seen.CountWith(EV_TXEMPTY), 1u);
}

TEST_F(EngineOnPty, DisableWriteStopsWriteButNotCommandUntilTheNextOpen)
{
    Engine.Open();
    Engine.DisableWrite = true;
    EXPECT_EQ(Engine.Write("data", 4), 0);
    EXPECT_EQ(Engine.Command("AT\r"), 3);
    EXPECT_EQ(AsText(Pty.ReadExactly(3)), "AT\r");
    EXPECT_TRUE(Pty.Silent(100ms));
    Engine.Close();
    EXPECT_TRUE(Engine.DisableWrite);
    Engine.Open();
    EXPECT_FALSE(Engine.DisableWrite);
}

TEST_F(EngineOnPty, BytesWrittenWhileClosedLeaveAfterTheNextOpen)
{
    EXPECT_EQ(Engine.Write("early", 5), 5);
    EXPECT_TRUE(Pty.Silent(100ms));
    Engine.Open();
    EXPECT_EQ(Engine.Write("!", 1), 1);
    EXPECT_EQ(AsText(Pty.ReadExactly(6)), "early!");
}

TEST_F(EngineOnPty, ReceivedBytesStayReadableAfterClose)
{
    Engine.Open();
    Pty.Write(std::string("kept"));
    ASSERT_TRUE(Seen.WaitFor([&](const auto&) { return Engine.InQueue->Count() == 4; }));
    Engine.Close();
    EXPECT_EQ(ReadFromEngine(Engine, 4, 100ms), "kept");
}

TEST_F(EngineOnPty, PurgeReadEmptiesTheReceiveQueue)
{
    Engine.Open();
    Pty.Write(std::string("stale"));
    ASSERT_TRUE(Seen.WaitFor([&](const auto&) { return Engine.InQueue->Count() == 5; }));
    Engine.PurgeRead(true);
    EXPECT_EQ(Engine.InQueue->Count(), 0);
    Pty.Write(std::string("fresh"));
    EXPECT_EQ(ReadFromEngine(Engine, 5), "fresh");
}

// Pseudo-terminals have no modem lines: the line calls fail and the
// mirrors keep their values.
TEST_F(EngineOnPty, RefusedModemLinesLeaveTheMirrors)
{
    Engine.Open();
    EXPECT_FALSE(Engine.EscapeCommFunction(CLRDTR));
    Engine.fSetDTR(false);
    EXPECT_TRUE(Engine.fGetDTR());
    EXPECT_EQ(Engine.ModemStatus.load(), 0u);
}

TEST(EngineClosed, CommandsAndLinesWithoutAPort)
{
    TComm32 engine;
    EXPECT_FALSE(engine.EscapeCommFunction(SETDTR));
    EXPECT_TRUE(engine.DTR);
    EXPECT_FALSE(engine.fGetDTR());
    engine.fSetDTR(false);
    EXPECT_FALSE(engine.DTR);

    engine.fSetFCtrl(TComm32::fcRtsCtsXonXoff);
    engine.AutoAnswer = 2;
    EXPECT_EQ(engine.InitModem(), 12);
    char queued[32] = {};
    EXPECT_EQ(engine.OutQueue->Out(queued, sizeof queued), 12);
    EXPECT_STREQ(queued, "ATE0&K6S0=2\r");

    EXPECT_EQ(engine.ResetModem(), 4);
    char reset[8] = {};
    engine.OutQueue->Out(reset, sizeof reset);
    EXPECT_STREQ(reset, "ATZ\r");
}

TEST(EngineClosed, FlowControlCodesReadBackFromTheLineSettings)
{
    TComm32 engine;
    EXPECT_EQ(engine.fGetFCtrl(), TComm32::fcNone);
    engine.fSetFCtrl(TComm32::fcRtsCts);
    EXPECT_EQ(engine.fGetFCtrl(), TComm32::fcRtsCts);
    EXPECT_EQ(engine.DCB.fRtsControl, RTS_CONTROL_HANDSHAKE);
    engine.fSetFCtrl(TComm32::fcTranXonXoff);
    EXPECT_EQ(engine.fGetFCtrl(), TComm32::fcXonXoff);
    EXPECT_EQ(engine.DCB.fRtsControl, RTS_CONTROL_ENABLE);
    engine.fSetFCtrl(static_cast<TComm32::TFlowControl>(2));  // unknown: none
    EXPECT_EQ(engine.fGetFCtrl(), TComm32::fcNone);
}

TEST_F(EngineOnPty, FlowControlSetterClosesAnOpenPort)
{
    Engine.Open();
    Engine.fSetFCtrl(TComm32::fcRtsCts);
    EXPECT_FALSE(Engine.Active);
    EXPECT_EQ(Engine.fGetFCtrl(), TComm32::fcRtsCts);
}

namespace {

// The code Open fails with, or -1 when it opens.
int OpenErrorCode(TComm32& engine)
{
    try {
        engine.Open();
    } catch (const EComm32Error& error) {
        return error.ErrorCode;
    }
    return -1;
}

} // namespace

TEST(EngineQueues, OpenReportsAQueueWithoutStorage)
{
    TComm32 engine;
    engine.InQueue->fSetBufSize(0);
    EXPECT_EQ(OpenErrorCode(engine), EComm32Error::ecReadBuffer);
    engine.InQueue->fSetBufSize(16);
    engine.OutQueue->fSetBufSize(0);
    EXPECT_EQ(OpenErrorCode(engine), EComm32Error::ecWriteBuffer);
    EXPECT_FALSE(engine.Active);
}

} // namespace
