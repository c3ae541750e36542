// The engine on real pseudo-terminals, reached through COM names in a
// private port link directory, with the test on the master end.
#include <gtest/gtest.h>

#include <cerrno>

#include "AppLangAs.h"
#include "EngineSupport.h"
#include "PtyPort.h"

using namespace OrvekComm32;
using namespace enginetest;

namespace {

constexpr int LineEvents = EV_CTS | EV_DSR | EV_RLSD;

std::string AsText(const testsupport::Bytes& bytes)
{
    return {bytes.begin(), bytes.end()};
}

class EngineOnPty : public ::testing::Test {
protected:
    testsupport::PortDirectory Ports;
    testsupport::PtyPort Pty{5};
    Notifications Seen;  // outlives the engine, whose destructor closes
    TComm32 Engine;

    void SetUp() override
    {
        UsePort(Engine, 5);
        Seen.Attach(Engine);
    }
};

// The code Open fails with (-1 when it opens), and the failure itself.
int OpenErrorCode(TComm32& engine, EComm32Error* failure = nullptr)
{
    try {
        engine.Open();
    } catch (const EComm32Error& error) {
        if (failure)
            *failure = error;
        return error.ErrorCode;
    }
    return -1;
}

TEST_F(EngineOnPty, OpenAndCloseTellTheOwnerOnceEach)
{
    Engine.Open();
    Engine.Open();  // already open: nothing happens
    EXPECT_EQ(Seen.Record(), (std::vector<int>{LineEvents, Notifications::AfterOpen}));
    Seen.Clear();
    Engine.Close();
    Engine.Close();  // closed: nothing happens
    EXPECT_EQ(Seen.Record(), (std::vector<int>{Notifications::BeforeClose, LineEvents}));
}

TEST_F(EngineOnPty, FailedOpensSayWhyAndLeaveTheEngineClosed)
{
    testsupport::AppLangAs english(TOrvekFuncs::ltEnglish);
    Engine.Open();
    TComm32 other;  // the same device, already open
    UsePort(other, 5);
    EComm32Error busy(EComm32Error::ecNone);
    EXPECT_EQ(OpenErrorCode(other, &busy), EComm32Error::ecOpenPort);
    EXPECT_EQ(busy.OsError, EBUSY);
    EXPECT_NE(busy.OsReason.find(Pty.SlavePath()), std::string::npos) << busy.OsReason;
    Pty.Write(std::string("still here"));  // the first engine is unharmed
    EXPECT_EQ(ReadFromEngine(Engine, 10), "still here");
    Engine.Close();
    EXPECT_EQ(OpenErrorCode(other), -1);  // free again once the first closed
    other.Close();

    Seen.Clear();
    UsePort(Engine, 99);  // beyond the fixed map, and no link
    EComm32Error missing(EComm32Error::ecNone);
    EXPECT_EQ(OpenErrorCode(Engine, &missing), EComm32Error::ecOpenPort);
    EXPECT_STREQ(missing.Message().c_str(), "Cannot open COM port");
    EXPECT_EQ(missing.OsError, ENOENT);
    EXPECT_NE(missing.OsReason.find("COM99"), std::string::npos) << missing.OsReason;

    TComm32 noStorage;
    noStorage.InQueue->fSetBufSize(0);
    EXPECT_EQ(OpenErrorCode(noStorage), EComm32Error::ecReadBuffer);
    noStorage.InQueue->fSetBufSize(16);
    noStorage.OutQueue->fSetBufSize(0);
    EXPECT_EQ(OpenErrorCode(noStorage), EComm32Error::ecWriteBuffer);
    EXPECT_FALSE(Engine.Active || other.Active || noStorage.Active);
    EXPECT_TRUE(Seen.Record().empty());
}

TEST_F(EngineOnPty, BytesTravelBothWaysAndTransmitEmptyComesOnce)
{
    Engine.Open();
    Pty.Write(std::string("from the controller"));
    EXPECT_EQ(ReadFromEngine(Engine, 19), "from the controller");
    EXPECT_GE(Seen.CountWith(EV_RXCHAR), 1u);

    Seen.Clear();
    const std::string reply = Pattern(3000);
    EXPECT_EQ(Engine.Write(reply.data(), 3000), 3000);
    EXPECT_EQ(AsText(Pty.ReadExactly(3000)), reply);
    ASSERT_TRUE(Seen.WaitFor([](const auto& record) { return CountWith(record, EV_TXEMPTY) >= 1; }));
    EXPECT_TRUE(Pty.Silent(200ms));
    EXPECT_EQ(Seen.CountWith(EV_TXEMPTY), 1u);
}

TEST_F(EngineOnPty, ReceiveQueueKeepsTheFirst8191BytesWhenNobodyReads)
{
    Engine.Open();
    const std::string flood = Pattern(10000);
    Pty.Write(flood);
    ASSERT_TRUE(Seen.WaitFor([&](const auto&) { return Engine.InQueue->Count() == 8191; }));
    ASSERT_TRUE(Pty.Silent(100ms));
    EXPECT_EQ(ReadFromEngine(Engine, 10000, 300ms), flood.substr(0, 8191));
}

TEST_F(EngineOnPty, QueuesKeepTheirBytesAcrossCloseAndOpen)
{
    EXPECT_EQ(Engine.Write("early", 5), 5);
    EXPECT_TRUE(Pty.Silent(100ms));
    Engine.Open();
    EXPECT_EQ(Engine.Write("!", 1), 1);
    EXPECT_EQ(AsText(Pty.ReadExactly(6)), "early!");

    Pty.Write(std::string("kept"));
    ASSERT_TRUE(Seen.WaitFor([&](const auto&) { return Engine.InQueue->Count() == 4; }));
    Engine.Close();
    EXPECT_EQ(ReadFromEngine(Engine, 4, 100ms), "kept");
}

TEST_F(EngineOnPty, PurgeReadAndDisableWrite)
{
    Engine.Open();
    Pty.Write(std::string("stale"));
    ASSERT_TRUE(Seen.WaitFor([&](const auto&) { return Engine.InQueue->Count() == 5; }));
    Engine.PurgeRead(true);
    EXPECT_EQ(Engine.InQueue->Count(), 0);
    Pty.Write(std::string("fresh"));
    EXPECT_EQ(ReadFromEngine(Engine, 5), "fresh");

    Engine.DisableWrite = true;
    EXPECT_EQ(Engine.Write("data", 4), 0);
    EXPECT_EQ(Engine.Command("AT\r"), 3);
    EXPECT_EQ(AsText(Pty.ReadExactly(3)), "AT\r");
    EXPECT_TRUE(Pty.Silent(100ms));
    Engine.Close();
    Engine.Open();
    EXPECT_FALSE(Engine.DisableWrite);
}

// Pseudo-terminals have no modem lines: the line calls fail and the
// mirrors keep their values.
TEST_F(EngineOnPty, RefusedModemLinesLeaveTheMirrors)
{
    Engine.Open();
    EXPECT_FALSE(Engine.EscapeCommFunction(CLRDTR));
    Engine.fSetDTR(false);
    EXPECT_TRUE(Engine.fGetDTR());
    Engine.fSetFCtrl(TComm32::fcRtsCts);  // closes
    EXPECT_FALSE(Engine.Active);
}

} // namespace
