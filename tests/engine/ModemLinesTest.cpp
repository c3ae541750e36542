// The line logic of the threads and the timer tick, against a fake port
// whose events, modem lines and writes the test controls.
#include <gtest/gtest.h>

#include "FakePort.h"
#include "Notifications.h"
#include "TComm32.h"

using namespace OrvekComm32;
using namespace enginetest;

namespace {

class ModemLines : public ::testing::Test {
protected:
    Notifications Seen;  // outlives the engine, whose destructor closes
    FakePortEngine Engine;

    void SetUp() override
    {
        Engine.TimerInterval = 3600 * 1000;  // the test ticks by hand
        Seen.Attach(Engine);
    }

    void Ticks(int count)
    {
        for (int i = 0; i < count; ++i)
            Engine.fmsgCommTimer();
    }
};

TEST_F(ModemLines, SteadyRingWithoutCarrierIsReportedEverySixteenTicks)
{
    Engine.Open();
    Engine.Port->ModemLines = MS_RING_ON;
    Ticks(15);
    EXPECT_EQ(Seen.CountWith(EV_RING), 0u);
    Ticks(1);
    EXPECT_EQ(Seen.CountWith(EV_RING), 1u);
    Ticks(31);
    EXPECT_EQ(Seen.CountWith(EV_RING), 2u);
    Ticks(1);
    EXPECT_EQ(Seen.CountWith(EV_RING), 3u);
}

TEST_F(ModemLines, RingUnderCarrierIsNotReported)
{
    Engine.Port->ModemLines = MS_RLSD_ON;
    Engine.Open();
    EXPECT_EQ(Engine.ModemStatus.load(), MS_RLSD_ON);
    Engine.Port->ModemLines = MS_RLSD_ON | MS_RING_ON;
    Ticks(48);
    EXPECT_EQ(Seen.CountWith(EV_RING), 0u);
    EXPECT_EQ(Seen.CountWith(EV_RLSD), 1u);  // only the open's own line report
}

TEST_F(ModemLines, CarrierChangeIsReportedOnceByTheTick)
{
    Engine.Open();
    Seen.Clear();
    Engine.Port->ModemLines = MS_RLSD_ON | MS_CTS_ON;
    Ticks(3);
    EXPECT_EQ(Seen.Record(), std::vector<int>{EV_RLSD});
    // Only the carrier bit is copied by the tick.
    EXPECT_EQ(Engine.ModemStatus.load(), MS_RLSD_ON);
}

TEST_F(ModemLines, CarrierChangeSeenByTheReadThreadIsNotReportedAgain)
{
    Engine.Open();
    Seen.Clear();
    Engine.Port->ModemLines = MS_RLSD_ON;
    Engine.Port->PostEvents(EV_RLSD);
    ASSERT_TRUE(Seen.WaitFor([](const auto& record) { return !record.empty(); }));
    EXPECT_EQ(Engine.ModemStatus.load(), MS_RLSD_ON);
    Ticks(3);
    EXPECT_EQ(Seen.Record(), std::vector<int>{EV_RLSD});
}

TEST_F(ModemLines, UnreadableStatusSkipsTheLineChecksButCountsTheTick)
{
    Engine.Open();
    Seen.Clear();
    Engine.Port->ModemLinesKnown = false;
    Ticks(40);
    EXPECT_TRUE(Seen.Record().empty());
    Engine.Port->ModemLinesKnown = true;
    Engine.Port->ModemLines = MS_RING_ON;
    Ticks(1);  // the counter ran up meanwhile: the ring check is due at once
    EXPECT_EQ(Seen.CountWith(EV_RING), 1u);
}

TEST_F(ModemLines, WritesLeaveInChunksOf256AndTransmitEmptyComesAfterTheLast)
{
    Engine.Open();
    Seen.Clear();
    const std::string data(1000, 'w');
    ASSERT_EQ(Engine.Write(data.data(), 1000), 1000);
    ASSERT_TRUE(Seen.WaitFor([](const auto& record) {
        return !record.empty() && (record.back() & EV_TXEMPTY);
    }));
    EXPECT_EQ(Engine.Port->Chunks(), (std::vector<long>{256, 256, 256, 232}));
    EXPECT_EQ(Engine.Port->Written(), data);
    EXPECT_EQ(Seen.CountWith(EV_TXEMPTY), 1u);
}

TEST_F(ModemLines, CtsComingBackRestartsOutputUnderCtsFlowControl)
{
    Engine.fSetFCtrl(TComm32::fcRtsCts);
    Engine.Open();
    Seen.Clear();
    const std::string data(600, 'c');
    ASSERT_EQ(Engine.Write(data.data(), 600), 600);
    // CTS is off: the first chunk's transmit-empty neither wakes the write
    // thread nor loses its bit.
    ASSERT_TRUE(Seen.WaitFor([](const auto& record) { return !record.empty(); }));
    EXPECT_EQ(Seen.Record(), std::vector<int>{EV_TXEMPTY});
    EXPECT_EQ(Engine.Port->Chunks(), std::vector<long>{256});

    Seen.Clear();
    Engine.Port->ModemLines = MS_CTS_ON;
    Engine.Port->PostEvents(EV_CTS);
    ASSERT_TRUE(Seen.WaitFor([](const auto& record) {
        return !record.empty() && (record.back() & EV_TXEMPTY);
    }));
    EXPECT_EQ(Engine.Port->Chunks(), (std::vector<long>{256, 256, 88}));
    const auto record = Seen.Record();
    EXPECT_EQ(record.front(), EV_CTS);  // more output was waiting: no transmit-empty yet
    EXPECT_EQ(Seen.CountWith(EV_TXEMPTY), 1u);
}

TEST_F(ModemLines, DtrChangedWhileOpenGoesBackAtTheNextOpen)
{
    Engine.Open();
    Engine.fSetDTR(false);
    EXPECT_FALSE(Engine.fGetDTR());
    Engine.Close();
    Engine.Open();
    EXPECT_TRUE(Engine.fGetDTR());

    Engine.Close();
    Engine.fSetDTR(false);  // a wish while closed is kept
    Engine.Open();
    EXPECT_EQ(Engine.DCB.fDtrControl, DTR_CONTROL_DISABLE);
    EXPECT_FALSE(Engine.fGetDTR());
}

} // namespace
