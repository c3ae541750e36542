// A device that goes away under an open engine: the engine keeps telling
// its owner, does not spin, and still closes in time; and the port is gone.
#include <gtest/gtest.h>

#include <thread>

#include "EngineSupport.h"
#include "ProcessResources.h"
#include "PtyPort.h"

using namespace OrvekComm32;
using namespace enginetest;

namespace {

// Once while the threads wait for port events, once while the write
// thread waits for room in a full pty.
TEST(Unplug, HungUpPortIsSurvivedWithoutSpinning)
{
    for (const bool writing : {false, true}) {
        testsupport::PortDirectory ports;
        auto pty = std::make_unique<testsupport::PtyPort>(8);
        Notifications seen;
        TComm32 engine;
        UsePort(engine, 8);
        seen.Attach(engine);
        engine.OutQueue->fSetBufSize(1 << 20);
        engine.Open();
        const std::string data(writing ? 1 << 19 : 5000, 'u');
        if (writing) {
            engine.Write(data.data(), static_cast<long>(data.size()));
            ASSERT_FALSE(pty->Silent(2s));  // the first bytes arrive, then the pty fills
        }
        pty->Hangup();
        if (!writing)
            engine.Write(data.data(), static_cast<long>(data.size()));
        seen.Clear();
        const double cpuBefore = soak::ProcessCpuMilliseconds();
        // The owner still hears from the read thread: failed passes report 0.
        ASSERT_TRUE(seen.WaitFor([](const auto& record) { return record.size() >= 3; }));
        std::this_thread::sleep_for(1s);  // a second of the engine on a dead port
        EXPECT_LT(soak::ProcessCpuMilliseconds() - cpuBefore, 200.0) << "the threads spin, writing " << writing;
        EXPECT_NO_THROW(engine.Close());  // 13 or 14 would mean a thread did not end

        pty->Unlink();
        try {
            engine.Open();
            ADD_FAILURE() << "opened a port that is gone";
        } catch (const EComm32Error& error) {
            EXPECT_EQ(error.ErrorCode, EComm32Error::ecOpenPort);
        }
    }
}

} // namespace
