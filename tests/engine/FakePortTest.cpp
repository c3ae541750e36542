// The logic of the threads and the timer tick against a fake port whose
// events, modem lines and driver the test plays; and what a closed engine
// does without a port.
#include <gtest/gtest.h>

#include "EngineSupport.h"

using namespace OrvekComm32;
using namespace enginetest;

namespace {

class OnFakePort : public ::testing::Test {
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

    void WaitForTransmitEmpty()
    {
        ASSERT_TRUE(Seen.WaitFor([](const auto& record) { return !record.empty() && record.back() > 0 && (record.back() & EV_TXEMPTY); }));
    }
};

TEST_F(OnFakePort, RingReportsFollowTheCarrierAndTheTickCount)
{
    struct Case {
        std::uint32_t Lines;
        int Ticks;
        std::size_t Rings;
    };
    const Case cases[] = {
        {MS_RING_ON, 15, 0},                // the first check comes with the 16th tick
        {MS_RING_ON, 16, 1},
        {MS_RING_ON, 48, 3},                // then every 16 ticks
        {MS_RING_ON | MS_RLSD_ON, 48, 0},   // no ring under a carrier
    };
    for (const auto& c : cases) {
        Engine.Port->ModemLines = c.Lines & MS_RLSD_ON;
        Engine.Open();
        Engine.Port->ModemLines = c.Lines;
        Seen.Clear();
        Ticks(c.Ticks);
        EXPECT_EQ(Seen.CountWith(EV_RING), c.Rings) << c.Lines << " " << c.Ticks;
        EXPECT_EQ(Seen.CountWith(EV_RLSD), 0u);
        Engine.Close();
    }
    Engine.Port->ModemLines = 0;
    Engine.Open();  // unreadable status: no check, but the ticks count
    Seen.Clear();
    Engine.Port->ModemLinesKnown = false;
    Ticks(40);
    EXPECT_EQ(Seen.CountWith(EV_RING), 0u);
    Engine.Port->ModemLinesKnown = true;
    Engine.Port->ModemLines = MS_RING_ON;
    Ticks(1);  // the counter ran up meanwhile: the ring check is due at once
    EXPECT_EQ(Seen.CountWith(EV_RING), 1u);
}

// Whichever of the tick and the read thread sees a carrier change first
// reports it; the other one does not report it again.
TEST_F(OnFakePort, CarrierChangeIsReportedOnce)
{
    for (const bool tickFirst : {true, false}) {
        Engine.Open();
        Seen.Clear();
        Engine.Port->ModemLines = MS_RLSD_ON | MS_CTS_ON;
        if (tickFirst)
            Ticks(1);
        Engine.Port->PostEvents(EV_RLSD);
        ASSERT_TRUE(Seen.WaitFor([&](const auto& record) { return record.size() == (tickFirst ? 2u : 1u); }));
        Ticks(3);
        EXPECT_EQ(Seen.CountWith(EV_RLSD), 1u) << tickFirst;
        EXPECT_EQ(Engine.ModemStatus.load() & MS_RLSD_ON, MS_RLSD_ON);
        Engine.Close();
        Engine.Port = std::make_shared<FakePort>();
    }
}

// Whether the driver reports its output queue empty at once (the next
// chunk goes without the read thread) or later (through transmit-empty),
// chunks are 256 bytes and the owner hears transmit-empty once, at the end.
TEST_F(OnFakePort, WritesLeaveInChunksOf256AndTransmitEmptyComesAfterTheLast)
{
    const std::string data = Pattern(1000);
    for (const bool drains : {false, true}) {
        Notifications seen;  // outlives the engine
        FakePortEngine engine;
        seen.Attach(engine);
        engine.Port->DriverDrains = drains;
        engine.Open();
        ASSERT_EQ(engine.Write(data.data(), 1000), 1000);
        ASSERT_TRUE(seen.WaitFor([](const auto& record) { return CountWith(record, EV_TXEMPTY) >= 1; }));
        EXPECT_EQ(engine.Port->Chunks(), (std::vector<long>{256, 256, 256, 232})) << drains;
        EXPECT_EQ(engine.Port->Written(), data);
        EXPECT_EQ(seen.Record().back(), EV_TXEMPTY);
        EXPECT_EQ(seen.CountWith(EV_TXEMPTY), 1u);
    }
}

TEST_F(OnFakePort, CtsComingBackRestartsOutputUnderCtsFlowControl)
{
    for (const bool drains : {false, true}) {
        Engine.fSetFCtrl(TComm32::fcRtsCts);
        Engine.Port->ModemLines = 0;
        Engine.Port->DriverDrains = drains;
        Engine.Open();
        Seen.Clear();
        ASSERT_EQ(Engine.Write(Pattern(600).data(), 600), 600);
        // CTS is off: the first chunk's transmit-empty neither wakes the
        // write thread nor loses its bit.
        ASSERT_TRUE(Seen.WaitFor([](const auto& record) { return !record.empty(); }));
        EXPECT_EQ(Seen.Record(), std::vector<int>{EV_TXEMPTY});
        EXPECT_EQ(Engine.Port->Chunks(), std::vector<long>{256}) << drains;

        Seen.Clear();
        Engine.Port->ModemLines = MS_CTS_ON;
        Engine.Port->PostEvents(EV_CTS);
        WaitForTransmitEmpty();
        EXPECT_EQ(Engine.Port->Chunks(), (std::vector<long>{256, 256, 88}));
        EXPECT_EQ(Seen.Record().front(), EV_CTS);  // more output was waiting: no transmit-empty yet
        EXPECT_EQ(Seen.CountWith(EV_TXEMPTY), 1u);
        Engine.Close();
        Engine.Port = std::make_shared<FakePort>();
    }
}

// A chunk taken from the queue and only partly written when the port
// closes is finished by the next open's write thread, before the rest.
TEST_F(OnFakePort, ChunkInFlightSurvivesCloseAndOpen)
{
    const std::string data = Pattern(1000);
    Engine.Port->AcceptLimit = 100;
    Engine.Open();
    ASSERT_EQ(Engine.Write(data.data(), 1000), 1000);
    ASSERT_TRUE(Engine.Port->WaitForWritten(100));
    Engine.Close();
    Engine.Port->AcceptLimit = -1;
    Engine.Open();
    Engine.Write("!", 1);
    WaitForTransmitEmpty();
    EXPECT_EQ(Engine.Port->Written(), data + "!");
}

TEST_F(OnFakePort, DtrChangedWhileOpenGoesBackAtTheNextOpen)
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

TEST(EngineClosed, FlowControlCodesAndModemCommands)
{
    struct Case {
        int Set, ReadBack, Rts;
        const char* InitText;
    };
    const Case cases[] = {
        {TComm32::fcRtsCts, 3, RTS_CONTROL_HANDSHAKE, "ATE0&K3S0=2\r"},
        {TComm32::fcTranXonXoff, 4, RTS_CONTROL_ENABLE, "ATE0&K4S0=2\r"},
        {TComm32::fcRtsCtsXonXoff, 6, RTS_CONTROL_HANDSHAKE, "ATE0&K6S0=2\r"},
        {2, 0, RTS_CONTROL_ENABLE, "ATE0&K0S0=2\r"},  // unknown codes mean none
    };
    TComm32 engine;
    engine.AutoAnswer = 2;
    for (const auto& c : cases) {
        engine.fSetFCtrl(static_cast<TComm32::TFlowControl>(c.Set));
        EXPECT_EQ(engine.fGetFCtrl(), c.ReadBack);
        EXPECT_EQ(engine.DCB.fRtsControl, static_cast<unsigned>(c.Rts));
        EXPECT_EQ(engine.InitModem(), 12);
        char queued[32] = {};
        engine.OutQueue->Out(queued, sizeof queued);
        EXPECT_STREQ(queued, c.InitText);
    }
    EXPECT_EQ(engine.ResetModem(), 4);
    EXPECT_FALSE(engine.EscapeCommFunction(SETDTR));
    EXPECT_FALSE(engine.fGetDTR());
}

} // namespace
