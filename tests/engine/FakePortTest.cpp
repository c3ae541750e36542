// The logic of the threads and the timer tick against a fake port whose
// events, modem lines and driver the test plays; a closed engine; and the
// exception's texts.
#include <gtest/gtest.h>

#include "AppLangAs.h"
#include "EngineSupport.h"
#include "Lx_base.h"

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
        while (count-- > 0)
            Engine.fmsgCommTimer();
    }
    // Opens on a fresh port whose lines are `lines`, and forgets the open.
    void Reopen(std::uint32_t lines = 0, bool drains = false)
    {
        Engine.Close();
        Engine.Port = std::make_shared<FakePort>();
        Engine.Port->ModemLines = lines;
        Engine.Port->DriverDrains = drains;
        Engine.Open();
        Seen.Clear();
    }
    bool TransmitEmptyLast()
    {
        return Seen.WaitFor([](const auto& r) { return !r.empty() && r.back() > 0 && (r.back() & EV_TXEMPTY); });
    }
};

TEST_F(OnFakePort, RingReportsFollowTheCarrierAndTheTickCount)
{
    const struct {
        std::uint32_t Lines;
        int Ticks;
        std::size_t Rings;
    } cases[] = {
        {MS_RING_ON, 15, 0},               // the first check comes with the 16th tick
        {MS_RING_ON, 48, 3},               // then every 16 ticks
        {MS_RING_ON | MS_RLSD_ON, 48, 0},  // no ring under a carrier
    };
    for (const auto& c : cases) {
        Reopen(c.Lines);
        Ticks(c.Ticks);
        EXPECT_EQ(Seen.CountWith(EV_RING), c.Rings) << c.Lines << " " << c.Ticks;
        EXPECT_EQ(Seen.CountWith(EV_RLSD), 0u);
    }
    Reopen();  // unreadable status: no check, but the ticks count
    Engine.Port->ModemLinesKnown = false;
    Ticks(40);
    Engine.Port->ModemLinesKnown = true;
    Engine.Port->ModemLines = MS_RING_ON;
    Ticks(1);
    EXPECT_EQ(Seen.CountWith(EV_RING), 1u);
}

// Whichever of the tick and the read thread sees a carrier change first
// reports it; the other one does not report it again.
TEST_F(OnFakePort, CarrierChangeIsReportedOnce)
{
    for (const bool tickFirst : {true, false}) {
        Reopen();
        Engine.Port->ModemLines = MS_RLSD_ON | MS_CTS_ON;
        if (tickFirst)
            Ticks(1);
        Engine.Port->PostEvents(EV_RLSD);
        ASSERT_TRUE(Seen.WaitFor([&](const auto& record) { return record.size() == (tickFirst ? 2u : 1u); }));
        Ticks(3);
        EXPECT_EQ(Seen.CountWith(EV_RLSD), 1u) << tickFirst;
    }
}

// Whether the driver reports its output queue empty at once (the next
// chunk goes without the read thread) or later (through transmit-empty),
// chunks are 256 bytes and the owner hears transmit-empty once, at the end.
TEST_F(OnFakePort, WritesLeaveInChunksOf256AndTransmitEmptyComesAfterTheLast)
{
    for (const bool drains : {false, true}) {
        Reopen(0, drains);
        ASSERT_EQ(Engine.Write(Pattern(1000).data(), 1000), 1000);
        ASSERT_TRUE(TransmitEmptyLast());
        EXPECT_EQ(Engine.Port->Chunks(), (std::vector<long>{256, 256, 256, 232})) << drains;
        EXPECT_EQ(Engine.Port->Written(), Pattern(1000));
        EXPECT_EQ(Seen.CountWith(EV_TXEMPTY), 1u);
    }
}

TEST_F(OnFakePort, CtsComingBackRestartsOutputUnderCtsFlowControl)
{
    Engine.fSetFCtrl(TComm32::fcRtsCts);
    for (const bool drains : {false, true}) {
        Reopen(0, drains);
        ASSERT_EQ(Engine.Write(Pattern(600).data(), 600), 600);
        // CTS is off: the first chunk's transmit-empty neither wakes the
        // write thread nor loses its bit.
        ASSERT_TRUE(Seen.WaitFor([](const auto& record) { return !record.empty(); }));
        EXPECT_EQ(Seen.Record(), std::vector<int>{EV_TXEMPTY});
        EXPECT_EQ(Engine.Port->Chunks(), std::vector<long>{256}) << drains;
        Seen.Clear();
        Engine.Port->ModemLines = MS_CTS_ON;
        Engine.Port->PostEvents(EV_CTS);
        ASSERT_TRUE(TransmitEmptyLast());
        EXPECT_EQ(Engine.Port->Chunks(), (std::vector<long>{256, 256, 88}));
        EXPECT_EQ(Seen.Record().front(), EV_CTS);  // more output was waiting: no transmit-empty yet
        EXPECT_EQ(Seen.CountWith(EV_TXEMPTY), 1u);
    }
}

// A chunk taken from the queue and only partly written holds back a
// transmit-empty although the queue is empty; when the port closes, the
// next open's write thread finishes it before the rest.
TEST_F(OnFakePort, ChunkInFlightSurvivesCloseAndOpen)
{
    Engine.Port->AcceptLimit = 100;
    Engine.Open();
    ASSERT_EQ(Engine.Write(Pattern(200).data(), 200), 200);
    ASSERT_TRUE(Engine.Port->WaitForWritten(100));
    Engine.Port->PostEvents(EV_TXEMPTY);
    ASSERT_TRUE(Seen.WaitFor([](const auto& record) { return !record.empty() && record.back() >= 0; }));
    EXPECT_EQ(Seen.CountWith(EV_TXEMPTY), 0u);
    Engine.Close();
    Engine.Port->AcceptLimit = -1;
    Engine.Open();
    Engine.Write("!", 1);
    ASSERT_TRUE(TransmitEmptyLast());
    EXPECT_EQ(Engine.Port->Written(), Pattern(200) + "!");
}

TEST_F(OnFakePort, DtrChangedWhileOpenGoesBackAtTheNextOpen)
{
    Engine.Open();
    Engine.fSetDTR(false);
    Reopen();
    EXPECT_TRUE(Engine.fGetDTR());
    Engine.Close();
    Engine.fSetDTR(false);  // a wish while closed is kept
    Engine.Open();
    EXPECT_EQ(Engine.DCB.fDtrControl, DTR_CONTROL_DISABLE);
    EXPECT_FALSE(Engine.fGetDTR());
}

TEST(EngineClosed, FlowControlCodesAndModemCommands)
{
    TComm32 engine;
    engine.AutoAnswer = 2;
    // Set, read back (5 reads as 4, unknown codes as none), and InitModem's text.
    for (const auto& [set, text] : std::vector<std::pair<int, std::string>>{
             {3, "ATE0&K3S0=2\r"}, {5, "ATE0&K4S0=2\r"}, {6, "ATE0&K6S0=2\r"}, {2, "ATE0&K0S0=2\r"}}) {
        engine.fSetFCtrl(static_cast<TComm32::TFlowControl>(set));
        EXPECT_EQ(engine.InitModem(), 12);
        char queued[32] = {};
        engine.OutQueue->Out(queued, sizeof queued);
        EXPECT_EQ(queued, text);
    }
    EXPECT_EQ(engine.ResetModem(), 4);
    EXPECT_FALSE(engine.EscapeCommFunction(SETDTR));
    EXPECT_FALSE(engine.fGetDTR());
}

// The message follows the process language, GBK-coded for Chinese (Big5
// on a traditional system), with a text for unknown codes.
TEST(ErrorText, EachLanguagesTexts)
{
    using namespace TOrvekFuncs;
    const struct {
        TLangType Language;
        int Code;
        const char* Utf8;
    } cases[] = {
        {ltEnglish, 14, "Cannot close COM port write thread"},
        {ltEnglish, 0, "Unknown error"},
        {ltGbk, 8, "不能设置端口参数"},
        {ltGbk, 99, "未知错误"},
        {ltBig5, 11, "不能創建埠讀執行緒"},
    };
    for (const auto& c : cases) {
        testsupport::AppLangAs language(c.Language);
        const std::string expected = AppLang.FromGBK(Utf8ToGbk(c.Utf8)).c_str();
        EXPECT_EQ(EComm32Error(static_cast<EComm32Error::TErrorCode>(c.Code)).Message().c_str(), expected) << c.Code;
    }
}

} // namespace
