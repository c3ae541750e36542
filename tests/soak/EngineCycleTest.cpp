// Many opens and closes of one engine, and many failed opens of another,
// must leave nothing behind, and the port must still carry bytes after them.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "ProcessResources.h"
#include "PtyPort.h"
#include "TComm32.h"

using namespace OrvekComm32;
using namespace testsupport;

namespace {

// Waits until the engine's receive queue gave one byte.
char ReadOneFromEngine(TComm32& engine)
{
    char byte = 0;
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (engine.Read(&byte, 1) == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    return byte;
}

TEST(EngineCycles, OpenCloseCyclesAndFailedOpensLeaveNoDescriptorOrThread)
{
    PortDirectory ports;
    PtyPort pty(7);
    TComm32 engine, missing;
    engine.UsePortNo(7);
    missing.UsePortNo(99);  // beyond the fixed map, and no link

    // One cycle first, so that anything made once per process (locale
    // tables, the sanitizers' own threads) is already counted.
    engine.Open();
    engine.Close();
    const std::size_t descriptors = soak::OpenDescriptorCount();
    const std::size_t threads = soak::ThreadCount();

    const std::size_t cycles = soak::Scaled(1000);
    for (std::size_t cycle = 0; cycle < cycles; ++cycle) {
        engine.Open();
        ASSERT_TRUE(engine.Active) << "cycle " << cycle;
        if (cycle % 100 == 0) {
            pty.Write(std::string("x"));
            ASSERT_EQ(ReadOneFromEngine(engine), 'x') << "cycle " << cycle;
        }
        engine.Close();
        ASSERT_FALSE(engine.Active) << "cycle " << cycle;
        try {
            missing.Open();
            FAIL() << "opened " << missing.DeviceName;
        } catch (const EComm32Error& error) {
            ASSERT_EQ(error.ErrorCode, EComm32Error::ecOpenPort);
        }
    }

    EXPECT_EQ(soak::OpenDescriptorCount(), descriptors);
    EXPECT_EQ(soak::ThreadCount(), threads);
}

} // namespace
