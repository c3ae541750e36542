// A device that goes away under an open engine: the engine keeps telling
// its owner, does not spin, and still closes in time.
#include <gtest/gtest.h>

#include "EngineHelpers.h"
#include "Notifications.h"
#include "ProcessResources.h"
#include "PtyPort.h"
#include "TComm32.h"

using namespace OrvekComm32;
using namespace enginetest;

namespace {

TEST(Unplug, HungUpPortIsSurvivedWithoutSpinning)
{
    testsupport::PortDirectory ports;
    testsupport::PtyPort pty(8);
    Notifications seen;
    TComm32 engine;
    UsePort(engine, 8);
    seen.Attach(engine);
    engine.Open();
    pty.Write(std::string("before"));
    ASSERT_EQ(ReadFromEngine(engine, 6), "before");

    pty.Hangup();
    const std::string data(5000, 'u');
    engine.Write(data.data(), static_cast<long>(data.size()));
    seen.Clear();
    const double cpuBefore = soak::ProcessCpuMilliseconds();
    // The owner still hears from the read thread: failed passes report 0.
    ASSERT_TRUE(seen.WaitFor([](const auto& record) { return record.size() >= 3; }, 5s));
    std::this_thread::sleep_for(1s);  // a second of the engine on a dead port
    const double cpuUsed = soak::ProcessCpuMilliseconds() - cpuBefore;
    EXPECT_LT(cpuUsed, 200.0) << "the threads spin on the hung-up port";

    EXPECT_NO_THROW(engine.Close());  // 13 or 14 would mean a thread did not end
    EXPECT_FALSE(engine.Active);
}

// The write thread is waiting for room in a full pty when the other end
// goes: it must give up the chunk rather than wait on.
TEST(Unplug, HangupInTheMiddleOfALargeWrite)
{
    testsupport::PortDirectory ports;
    testsupport::PtyPort pty(10);
    Notifications seen;
    TComm32 engine;
    UsePort(engine, 10);
    engine.OutQueue->fSetBufSize(1 << 20);
    engine.Open();
    const std::string large(1 << 19, 'L');
    ASSERT_EQ(engine.Write(large.data(), static_cast<long>(large.size())), static_cast<long>(large.size()));
    // The first bytes arrive; as nobody reads on, the pty fills and the
    // write thread waits for room.
    ASSERT_FALSE(pty.Silent(2s));
    pty.Hangup();
    const double cpuBefore = soak::ProcessCpuMilliseconds();
    std::this_thread::sleep_for(1s);
    EXPECT_LT(soak::ProcessCpuMilliseconds() - cpuBefore, 200.0);
    EXPECT_NO_THROW(engine.Close());
}

TEST(Unplug, PortThatVanishedCannotBeOpenedAgain)
{
    testsupport::PortDirectory ports;
    auto pty = std::make_unique<testsupport::PtyPort>(9);
    TComm32 engine;
    UsePort(engine, 9);
    engine.Open();
    pty->Hangup();
    pty->Unlink();
    engine.Close();
    try {
        engine.Open();
        FAIL() << "opened a port that is gone";
    } catch (const EComm32Error& error) {
        EXPECT_EQ(error.ErrorCode, EComm32Error::ecOpenPort);
    }
}

} // namespace
