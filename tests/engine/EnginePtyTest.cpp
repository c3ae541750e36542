// The engine on real pseudo-terminals, reached through COM names in a
// private port link directory, with the test on the master end.
#include <gtest/gtest.h>

#include <cerrno>
#include <sys/resource.h>
#include <unistd.h>
#include <thread>

#include "AppLangAs.h"
#include "EngineSupport.h"
#include "ProcessResources.h"
#include "PtyPort.h"

using namespace OrvekComm32;
using namespace enginetest;

namespace {

constexpr int LineEvents = EV_CTS | EV_DSR | EV_RLSD;

class EngineOnPty : public ::testing::Test {
protected:
    testsupport::PortDirectory Ports;
    std::unique_ptr<testsupport::PtyPort> Pty = std::make_unique<testsupport::PtyPort>(5);
    Notifications Seen;  // outlives the engine, whose destructor closes
    TComm32 Engine;

    void SetUp() override
    {
        Engine.UsePortNo(5);
        Seen.Attach(Engine);
    }
    std::string PtyReads(std::size_t count)
    {
        const auto bytes = Pty->ReadExactly(count);
        return {bytes.begin(), bytes.end()};
    }
    bool InQueueHolds(long count)
    {
        return Seen.WaitFor([&](const auto&) { return Engine.InQueue->Count() == count; });
    }
    // What the receive queue holds once it holds `count` bytes.
    std::string Received(long count)
    {
        std::string bytes(16384, '\0');
        EXPECT_TRUE(InQueueHolds(count));
        bytes.resize(static_cast<std::size_t>(Engine.Read(bytes.data(), static_cast<long>(bytes.size()))));
        return bytes;
    }
};

TEST_F(EngineOnPty, OpenAndCloseTellTheOwnerOnceEach)
{
    Engine.Open();
    Engine.Open();  // already open: nothing happens
    Engine.Close();
    Engine.Close();  // closed: nothing happens
    EXPECT_EQ(Seen.Record(), (std::vector<int>{LineEvents, Notifications::AfterOpen, Notifications::BeforeClose, LineEvents}));
}

TEST_F(EngineOnPty, FailedOpensSayWhyAndLeaveTheEngineClosed)
{
    testsupport::AppLangAs english(TOrvekFuncs::ltEnglish);
    Engine.Open();
    TComm32 other;  // the same device, already open
    other.UsePortNo(5);
    const EComm32Error busy = OpenFailure(other);
    EXPECT_EQ(busy.ErrorCode, EComm32Error::ecOpenPort);
    EXPECT_EQ(busy.OsError, EBUSY);
    EXPECT_NE(busy.OsReason.find(Pty->SlavePath()), std::string::npos) << busy.OsReason;
    Engine.Close();
    EXPECT_EQ(OpenFailure(other).ErrorCode, EComm32Error::ecNone);  // free again once the first closed
    other.Close();

    Seen.Clear();
    Engine.UsePortNo(99);  // beyond the fixed map, and no link
    const EComm32Error missing = OpenFailure(Engine);
    EXPECT_EQ(missing.ErrorCode, EComm32Error::ecOpenPort);
    EXPECT_STREQ(missing.Message().c_str(), "Cannot open COM port");
    EXPECT_EQ(missing.OsError, ENOENT);
    EXPECT_NE(missing.OsReason.find("COM99"), std::string::npos) << missing.OsReason;
    Engine.InQueue->fSetBufSize(0);
    EXPECT_EQ(OpenFailure(Engine).ErrorCode, EComm32Error::ecReadBuffer);
    Engine.InQueue->fSetBufSize(16);
    Engine.OutQueue->fSetBufSize(0);
    EXPECT_EQ(OpenFailure(Engine).ErrorCode, EComm32Error::ecWriteBuffer);
    EXPECT_FALSE(Engine.Active || other.Active);
    EXPECT_TRUE(Seen.Record().empty());

    // A step after the port's open keeps the system's reason too: with room
    // for two more descriptors the port opens and the third fails.
    Engine.OutQueue->fSetBufSize(16);
    Engine.UsePortNo(5);
    const int lowestFree = dup(0);
    close(lowestFree);
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    const rlimit narrow{static_cast<rlim_t>(lowestFree + 2), limit.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &narrow), 0);
    const EComm32Error starved = OpenFailure(Engine);
    setrlimit(RLIMIT_NOFILE, &limit);
    EXPECT_NE(starved.ErrorCode, EComm32Error::ecOpenPort);
    EXPECT_EQ(starved.OsError, EMFILE);
    EXPECT_NE(starved.OsReason.find("COM5: Too many open files"), std::string::npos) << starved.OsReason;
    EXPECT_FALSE(Engine.Active);
}

TEST_F(EngineOnPty, BytesTravelBothWaysAndTransmitEmptyComesOnce)
{
    Engine.Open();
    Pty->Write(std::string("from the controller"));
    EXPECT_EQ(Received(19), "from the controller");
    EXPECT_GE(Seen.CountWith(EV_RXCHAR), 1u);
    Seen.Clear();
    const std::string reply = Pattern(3000);
    EXPECT_EQ(Engine.Write(reply.data(), 3000), 3000);
    EXPECT_EQ(PtyReads(3000), reply);
    ASSERT_TRUE(Seen.WaitFor([](const auto& record) { return CountWith(record, EV_TXEMPTY) >= 1; }));
    EXPECT_TRUE(Pty->Silent(200ms));
    EXPECT_EQ(Seen.CountWith(EV_TXEMPTY), 1u);

    const std::string flood = Pattern(10000);  // nobody reads: the first 8191 bytes stay
    Pty->Write(flood);
    ASSERT_TRUE(InQueueHolds(8191));
    ASSERT_TRUE(Pty->Silent(100ms));
    EXPECT_EQ(Received(8191), flood.substr(0, 8191));
}

TEST_F(EngineOnPty, QueuesKeepTheirBytesAcrossCloseAndOpen)
{
    EXPECT_EQ(Engine.Write("early", 5), 5);
    EXPECT_TRUE(Pty->Silent(100ms));
    Engine.Open();
    EXPECT_EQ(Engine.Write("!", 1), 1);
    EXPECT_EQ(PtyReads(6), "early!");
    Pty->Write(std::string("kept"));
    ASSERT_TRUE(InQueueHolds(4));
    Engine.Close();
    EXPECT_EQ(Received(4), "kept");
}

TEST_F(EngineOnPty, PurgeReadDisableWriteAndRefusedModemLines)
{
    Engine.Open();
    Pty->Write(std::string("stale"));
    ASSERT_TRUE(InQueueHolds(5));
    Engine.PurgeRead(true);
    Pty->Write(std::string("fresh"));
    EXPECT_EQ(Received(5), "fresh");

    Engine.DisableWrite = true;
    EXPECT_EQ(Engine.Write("data", 4), 0);
    EXPECT_EQ(Engine.Command("AT\r"), 3);
    EXPECT_EQ(PtyReads(3), "AT\r");
    EXPECT_TRUE(Pty->Silent(100ms));
    // Pseudo-terminals have no modem lines: the call fails, the mirror stays.
    Engine.fSetDTR(false);
    EXPECT_TRUE(Engine.fGetDTR());
    Engine.Close();
    Engine.Open();
    EXPECT_FALSE(Engine.DisableWrite);
}

// A device that goes away, once while the threads wait for port events and
// once while the write thread waits for room in a full pty: the owner hears
// of it once, with the device's name, and then nothing more; nothing spins,
// writes to the gone port are refused quietly, Close ends every thread, and
// the port cannot be opened again.
TEST_F(EngineOnPty, PortThatGoesAwayIsReportedOnceWithoutSpinning)
{
    for (const bool writing : {false, true}) {
        SCOPED_TRACE(writing ? "writing" : "waiting");
        Engine.OutQueue->fSetBufSize(1 << 20);
        Engine.Open();
        const std::string data(writing ? 1 << 19 : 5000, 'u');
        if (writing) {
            Engine.Write(data.data(), static_cast<long>(data.size()));
            ASSERT_FALSE(Pty->Silent(2s));  // the first bytes arrive, then the pty fills
        }
        const std::string device = Pty->SlavePath();
        Seen.Clear();
        const double cpuBefore = soak::ProcessCpuMilliseconds();
        Pty->Hangup();
        ASSERT_TRUE(Seen.WaitFor([](const auto& record) { return CountWith(record, EV_PORTLOST) > 0; }, 2s));
        const auto why = Engine.PortLoss();
        ASSERT_TRUE(why.has_value());
        EXPECT_EQ(why->ErrorCode, EComm32Error::ecPortLost);
        EXPECT_NE(why->OsReason.find(device), std::string::npos) << why->OsReason;
        Engine.Write(data.data(), static_cast<long>(data.size()));
        std::this_thread::sleep_for(1s);
        // Passes of the writing before the loss may report 0; after it, nothing.
        const auto record = Seen.Record();
        const auto loss = std::find(record.begin(), record.end(), EV_PORTLOST);
        EXPECT_EQ(std::vector<int>(loss, record.end()), std::vector<int>{EV_PORTLOST}) << "more than the loss reported";
        EXPECT_LT(soak::ProcessCpuMilliseconds() - cpuBefore, 200.0) << "the threads spin";
        EXPECT_TRUE(Engine.Active) << "only the owner closes";
        EXPECT_NO_THROW(Engine.Close());  // 13 or 14 would mean a thread did not end
        Pty->Unlink();
        EXPECT_EQ(OpenFailure(Engine).ErrorCode, EComm32Error::ecOpenPort);
        Pty.reset();  // its link goes before the next one is made
        Pty = std::make_unique<testsupport::PtyPort>(5);
        Engine.Open();
        EXPECT_FALSE(Engine.PortLoss().has_value()) << "a new open starts without a loss";
        Engine.Close();
    }
}

// Input held in the driver under flow control needs a driver whose flow
// control holds the far end back: the driver rig shows it with XON/XOFF
// between two UARTs, the Windows tests under RTS/CTS.

} // namespace
