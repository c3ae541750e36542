// The engine on Windows, through the Windows layer, on COM ports that the
// test script maps to Linux pseudo-terminals (tests/windows/rig): an echo
// peer on $CCDL_ECHO_PORT and one that hangs up on a magic sequence on
// $CCDL_HANGUP_PORT. Under Wine the ports are ptys, so these tests cannot
// show parity, byte size, modem lines or driver queue sizes; the limits
// are printed where a test meets them.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "EngineSupport.h"
#include "ProcessResources.h"
#include "TCommSerialPortInfo.h"

#include <windows.h>

namespace {

using namespace OrvekComm32;
using namespace std::chrono_literals;

// The magic sequence of tests/windows/rig/pty_peer.py.
const std::string HangUpMagic("\xDE\xAD\xBE\xEF\x00HANGUP", 11);

// Points the engine at the COM port the script mapped for `variable`.
testing::AssertionResult UsePortOf(TComm32& engine, const char* variable)
{
    const char* name = std::getenv(variable);
    const int port = name ? TCommSerialPortInfo::PortNo(name) : 0;
    if (port <= 0)
        return testing::AssertionFailure() << variable << " names no COM port: run through scripts/test-windows.sh";
    engine.UsePortNo(port);
    return testing::AssertionSuccess();
}

bool UnderWine()
{
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// Opens the engine; on failure says why, with the system's reason.
testing::AssertionResult Opens(TComm32& engine)
{
    try {
        engine.Open();
        return testing::AssertionSuccess();
    } catch (const EComm32Error& error) {
        return testing::AssertionFailure() << error.what() << ": " << error.OsReason;
    }
}


// What the read thread received, taken from the receive queue inside its
// notify handler, as the package layer does.
class TReceiver {
public:
    explicit TReceiver(TComm32& engine) : Engine(engine)
    {
        Engine.OnCommNotify = [this](TObject* sender, int type) {
            Notified.Add(type, sender);
            if (!(type & EV_RXCHAR))
                return;
            char buffer[4096];
            std::lock_guard guard(Lock);
            for (long got; (got = Engine.Read(buffer, sizeof buffer)) > 0;)
                Bytes.insert(Bytes.end(), buffer, buffer + got);
            Arrived.notify_all();
        };
    }

    bool WaitForBytes(std::size_t count, std::chrono::milliseconds timeout)
    {
        std::unique_lock guard(Lock);
        return Arrived.wait_for(guard, timeout, [&] { return Bytes.size() >= count; });
    }

    std::vector<char> Received()
    {
        std::lock_guard guard(Lock);
        return Bytes;
    }

    testsupport::NotifyRecord Notified;

private:
    TComm32& Engine;
    std::mutex Lock;
    std::condition_variable Arrived;
    std::vector<char> Bytes;
};

TEST(WindowsEngine, HundredThousandBytesComeBackExactlyWithTransmitEmptyReports)
{
    TComm32 engine;
    ASSERT_TRUE(UsePortOf(engine, "CCDL_ECHO_PORT"));
    engine.DCB.BaudRate = 921600;
    engine.DCB.EvtChar = 0x7E;
    TReceiver receiver(engine);
    ASSERT_TRUE(Opens(engine));
    std::printf("Wine limit: SetupComm's sizes (%ld, %ld) are taken and ignored; not checked\n", engine.HwInSize,
                engine.HwOutSize);
    // The open read the lines: under Wine they are the rig's (CTS, DSR and
    // carrier on), which a pty has not.
    if (UnderWine()) {
        EXPECT_EQ(engine.ModemStatus.load(), MS_CTS_ON | MS_DSR_ON | MS_RLSD_ON);
    }

    const std::string pattern = enginetest::Pattern(100000);
    const std::vector<char> sent(pattern.begin(), pattern.end());
    // Blocks below the receive queue's size, each sent once the last one is
    // back, so that no byte is dropped for want of room.
    constexpr std::size_t Block = 4000;
    for (std::size_t at = 0; at < sent.size(); at += Block) {
        const long size = static_cast<long>(std::min(Block, sent.size() - at));
        ASSERT_EQ(engine.Write(sent.data() + at, size), size);
        ASSERT_TRUE(receiver.WaitForBytes(at + static_cast<std::size_t>(size), 20s))
            << receiver.Received().size() << " of " << at + size << " bytes back";
    }
    EXPECT_TRUE(receiver.Received() == sent) << "the bytes that came back differ from those sent";
    const std::vector<int> values = receiver.Notified.Record();
    const auto flagged = enginetest::CountWith(values, EV_RXFLAG);
    if (UnderWine()) {
        std::printf("Wine limit: EV_RXFLAG is never reported (%d times for a 7E in the data); not checked\n",
                    static_cast<int>(flagged));
    } else {
        EXPECT_GT(flagged, 0);
    }
    // The write thread reports the end of each block once its last chunk
    // has left the driver.
    EXPECT_TRUE(receiver.Notified.WaitFor([](const std::vector<int>& values) {
        return enginetest::CountWith(values, EV_TXEMPTY) >= 1;
    }));
    engine.Close();
}

// Under input flow control a full receive queue leaves the rest in the
// driver: the read thread stops asking for EV_RXCHAR (which must then not
// end its waits), and the owner's Read ends the wait by a mask change from
// its own thread, after which the held bytes come in.
TEST(WindowsEngine, HeldInputWaitsInTheDriverWithoutSpinningUntilTheOwnerReads)
{
    TComm32 engine;
    ASSERT_TRUE(UsePortOf(engine, "CCDL_ECHO_PORT"));
    engine.DCB.BaudRate = 921600;
    engine.fSetFCtrl(TComm32::fcRtsCts);
    testsupport::NotifyRecord notified;
    engine.OnCommNotify = notified.Handler();
    ASSERT_TRUE(Opens(engine));

    const std::string pattern = enginetest::Pattern(20000);
    const std::vector<char> sent(pattern.begin(), pattern.end());
    const auto count = [](int bit) { return [bit](const std::vector<int>& values) { return enginetest::CountWith(values, bit); }; };
    for (std::size_t at = 0; at < sent.size();) {
        const auto emptied = count(EV_TXEMPTY)(notified.Record());
        at += static_cast<std::size_t>(engine.Write(sent.data() + at, static_cast<long>(sent.size() - at)));
        if (at < sent.size()) {
            ASSERT_TRUE(notified.WaitFor([&](const std::vector<int>& values) { return count(EV_TXEMPTY)(values) > emptied; }));
        }
    }
    const long full = engine.InQueue->fGetSize() - 1;
    ASSERT_TRUE(notified.WaitFor([&](const std::vector<int>&) { return engine.InQueue->Count() == full; }, 20s));

    // Held: nothing more arrives in the queue, and the read thread does not
    // keep passing (each pass notifies) nor keeps a core busy.
    const double cpuBefore = soak::ProcessCpuMilliseconds();
    const std::size_t passesBefore = notified.Record().size();
    EXPECT_FALSE(notified.WaitFor([&](const std::vector<int>&) { return engine.InQueue->Count() > full; }, 1s));
    EXPECT_LT(notified.Record().size() - passesBefore, 10u) << "the read thread kept passing while input was held";
    EXPECT_LT(soak::ProcessCpuMilliseconds() - cpuBefore, 500.0) << "a thread kept a core busy while input was held";

    std::vector<char> received;
    char buffer[1000];
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (received.size() < sent.size() && std::chrono::steady_clock::now() < deadline) {
        const auto arrived = count(EV_RXCHAR)(notified.Record());
        const long got = engine.Read(buffer, sizeof buffer);
        received.insert(received.end(), buffer, buffer + got);
        if (got == 0)
            notified.WaitFor([&](const std::vector<int>& values) { return count(EV_RXCHAR)(values) > arrived; }, 1s);
    }
    EXPECT_TRUE(received == sent) << received.size() << " of " << sent.size() << " bytes";
    engine.Close();
}

TEST(WindowsEngine, EveryRateOfTheSettingsDialogIsTakenAndReadBack)
{
    // The layer reads the rate back after setting it and fails the open
    // when the driver took another; Wine reads it from the pty's termios.
    // The component's rates, and the high ones ccdl's --line may ask for.
    for (std::uint32_t rate : {110u, 300u, 600u, 1200u, 2400u, 4800u, 9600u, 14400u, 19200u, 38400u, 56000u, 57600u,
                               115200u, 128000u, 256000u, 230400u, 460800u, 921600u}) {
        TComm32 engine;
        ASSERT_TRUE(UsePortOf(engine, "CCDL_ECHO_PORT"));
        engine.DCB.BaudRate = rate;
        engine.DCB.StopBits = TWOSTOPBITS;
        engine.fSetFCtrl(TComm32::fcRtsCtsXonXoff);
        const bool termiosRate = rate != 14400 && rate != 56000 && rate != 128000 && rate != 256000;
        if (UnderWine() && !termiosRate) {
            // Wine sets only the rates termios names and keeps the old one
            // for the rest while reporting success: the read-back refuses.
            EXPECT_EQ(enginetest::OpenFailure(engine).ErrorCode, EComm32Error::ecSetCommState) << rate << " baud";
            std::printf("Wine limit: %u baud is not set (no termios rate); the read-back refuses the open\n", rate);
        } else {
            EXPECT_TRUE(Opens(engine)) << rate << " baud";
            EXPECT_EQ(engine.fGetFCtrl(), TComm32::fcRtsCtsXonXoff);
        }
        engine.Close();
    }
    std::printf("Wine limit: a pty cannot show parity or byte size; they are set but not checked\n");
}

// Not tried here: a second open of an open port. Share mode 0 keeps it out
// on Windows, but Wine lets it through, so nothing could be checked.

TEST(WindowsEngine, APortThatHangsUpIsReportedOnceAndNothingSpins)
{
    TComm32 engine;
    ASSERT_TRUE(UsePortOf(engine, "CCDL_HANGUP_PORT"));
    TReceiver receiver(engine);
    ASSERT_TRUE(Opens(engine));
    // Bytes before the magic sequence come back: the line worked first.
    ASSERT_EQ(engine.Write("hello", 5), 5);
    ASSERT_TRUE(receiver.WaitForBytes(5, 10s));
    ASSERT_EQ(engine.Write(HangUpMagic.data(), static_cast<long>(HangUpMagic.size())),
              static_cast<long>(HangUpMagic.size()));

    const auto lost = [](const std::vector<int>& values) { return enginetest::CountWith(values, EV_PORTLOST); };
    ASSERT_TRUE(receiver.Notified.WaitFor([&](const std::vector<int>& values) { return lost(values) >= 1; }, 10s));
    const auto loss = engine.PortLoss();
    ASSERT_TRUE(loss.has_value());
    EXPECT_EQ(loss->ErrorCode, EComm32Error::ecPortLost);
    EXPECT_NE(loss->OsReason.find("gone"), std::string::npos) << loss->OsReason;
    std::printf("after the hang-up: %s\n", loss->OsReason.c_str());

    // Every call fails at once after a hang-up (Wine: error 21): a thread
    // that kept trying would spin. Over a second, the loss is not reported
    // again and the process uses little of a core.
    const double cpuBefore = soak::ProcessCpuMilliseconds();
    const std::size_t passesBefore = receiver.Notified.Record().size();
    EXPECT_FALSE(receiver.Notified.WaitFor([&](const std::vector<int>& values) { return lost(values) > 1; }, 1s));
    EXPECT_LT(receiver.Notified.Record().size() - passesBefore, 10u) << "the engine kept notifying after the loss";
    EXPECT_LT(soak::ProcessCpuMilliseconds() - cpuBefore, 500.0) << "the engine kept a core busy after the loss";
    EXPECT_TRUE(engine.Active);
    EXPECT_NO_THROW(engine.Close());
}

} // namespace
