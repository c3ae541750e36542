// Many opens and closes of one engine must leave nothing behind, and the
// port must still carry bytes after them.
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

// Waits until the engine's receive queue gave `wanted` bytes.
std::string ReadFromEngine(TComm32& engine, std::size_t wanted)
{
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    char buffer[64];
    while (got.size() < wanted && std::chrono::steady_clock::now() < deadline) {
        const long n = engine.Read(buffer, sizeof buffer);
        if (n > 0)
            got.append(buffer, static_cast<std::size_t>(n));
        else
            std::this_thread::sleep_for(1ms);
    }
    return got;
}

TEST(EngineCycles, ThousandOpenCloseCyclesLeaveNoDescriptorOrThread)
{
    PortDirectory ports;
    PtyPort pty(7);
    TComm32 engine;
    engine.PortNo = 7;
    std::snprintf(engine.DeviceName, sizeof engine.DeviceName, TComm32::Fmt_COMn, engine.PortNo);

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
            ASSERT_EQ(ReadFromEngine(engine, 1), "x") << "cycle " << cycle;
        }
        engine.Close();
        ASSERT_FALSE(engine.Active) << "cycle " << cycle;
    }

    EXPECT_EQ(soak::OpenDescriptorCount(), descriptors);
    EXPECT_EQ(soak::ThreadCount(), threads);
}

TEST(EngineCycles, FailedOpensLeaveNoDescriptorOrThread)
{
    PortDirectory ports;
    TComm32 engine;
    engine.PortNo = 99;  // beyond the fixed map, and no link
    std::snprintf(engine.DeviceName, sizeof engine.DeviceName, TComm32::Fmt_COMn, engine.PortNo);
    const std::size_t descriptors = soak::OpenDescriptorCount();
    const std::size_t threads = soak::ThreadCount();
    for (std::size_t attempt = 0; attempt < soak::Scaled(200); ++attempt) {
        try {
            engine.Open();
            FAIL() << "opened " << engine.DeviceName;
        } catch (const EComm32Error& error) {
            ASSERT_EQ(error.ErrorCode, EComm32Error::ecOpenPort);
        }
    }
    EXPECT_FALSE(engine.Active);
    EXPECT_EQ(soak::OpenDescriptorCount(), descriptors);
    EXPECT_EQ(soak::ThreadCount(), threads);
}

} // namespace
