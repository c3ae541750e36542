// The byte ring: capacity one below its size, wrap-around in two pieces,
// refusals that change nothing, storage that comes and goes. Two threads
// share it in the engine's own tests, which the thread sanitizer watches.
#include <gtest/gtest.h>

#include "EngineSupport.h"
#include "TCommQueue.h"

using OrvekComm32::TCommQueue;
using enginetest::Pattern;

namespace {

TEST(Queue, WrapsInOrderRefusesWithoutChangeAndResizes)
{
    TCommQueue ring(16);
    char out[16];
    ASSERT_EQ(ring.In("abcdefghijklmn", 14), 14);
    ASSERT_EQ(ring.Out(out, 14), 14);  // both indices now 2 before the end
    ASSERT_EQ(ring.In("12345", 5), 5);
    EXPECT_EQ(ring.Out(nullptr, 4) + ring.In(nullptr, 3), 0);
    ASSERT_EQ(ring.Out(out, 16), 5);
    EXPECT_EQ(std::string(out, 5), "12345");
    EXPECT_EQ(ring.Out(out, 4), 0);  // empty

    ring.fSetBufSize(0);
    EXPECT_EQ(ring.In("abc", 3), 0);
    ring.fSetBufSize(100);
    EXPECT_EQ(ring.In(Pattern(200).data(), 200), 99);
    EXPECT_EQ(ring.In("x"), 0);  // full
}

} // namespace
