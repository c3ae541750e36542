// Many opens and closes of one engine, and many failed opens of another,
// must leave nothing behind, and the port must still carry bytes after them.
#include <gtest/gtest.h>

#include <string>

#include "EngineLine.h"
#include "ProcessResources.h"
#include "PtyPort.h"
#include "TComm32.h"

using namespace OrvekComm32;
using namespace testsupport;

namespace {

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
        if (cycle % 100 == 0) {
            pty.Write(std::string("x"));
            ASSERT_EQ(testsupport::ReadFromEngine(engine, 1), "x") << "cycle " << cycle;
        }
        engine.Close();
        ASSERT_FALSE(engine.Active) << "cycle " << cycle;
        ASSERT_THROW(missing.Open(), EComm32Error) << "cycle " << cycle;
    }

    EXPECT_EQ(soak::OpenDescriptorCount(), descriptors);
    // A worker clears its alive flag, which Close waits for, a moment before
    // its thread has ended: the count may take that moment to come down.
    EXPECT_TRUE(WaitUntil([&] { return soak::ThreadCount() <= threads; }, 10s)) << soak::ThreadCount() << " > " << threads;
}

} // namespace
