// The byte ring: capacity one below its size, wrap-around in two pieces,
// refusals that change nothing, storage that comes and goes, and two
// threads at once.
#include <gtest/gtest.h>

#include <thread>

#include "EngineSupport.h"
#include "TCommQueue.h"

using OrvekComm32::TCommQueue;
using enginetest::Pattern;

namespace {

TEST(Queue, HoldsOneByteLessThanItsSizeAndWrapsInOrder)
{
    TCommQueue queue(8192);
    const std::string data = Pattern(10000);
    EXPECT_EQ(queue.In(data.data(), 10000), 8191);
    EXPECT_EQ(queue.In(data.data()), 0);
    EXPECT_EQ(queue.Room(), 0);
    std::string out(10000, '\0');
    ASSERT_EQ(queue.Out(out.data(), 10000), 8191);
    EXPECT_EQ(out.substr(0, 8191), data.substr(0, 8191));

    TCommQueue ring(16);
    char scratch[16];
    ASSERT_EQ(ring.In("abcdefghijklmn", 14), 14);
    ASSERT_EQ(ring.Out(scratch, 14), 14);  // both indices now 2 before the end
    ASSERT_EQ(ring.In("12345", 5), 5);
    EXPECT_EQ(ring.Count(), 5);
    ASSERT_EQ(ring.Out(scratch, 16), 5);
    EXPECT_EQ(std::string(scratch, 5), "12345");
}

TEST(Queue, RefusalsChangeNothing)
{
    TCommQueue queue(8);
    char out[4];
    EXPECT_EQ(queue.Out(out, 4), 0);  // empty
    ASSERT_EQ(queue.In("xy", 2), 2);
    EXPECT_EQ(queue.Out(out, 0), 0);
    EXPECT_EQ(queue.Out(nullptr, 4), 0);
    EXPECT_EQ(queue.In(nullptr, 3), 0);
    EXPECT_EQ(queue.In("z", -1), 0);
    ASSERT_EQ(queue.Out(out), 1);
    EXPECT_EQ(out[0], 'x');
    EXPECT_EQ(queue.Count(), 1);
}

TEST(Queue, StorageReleasedAndRegained)
{
    TCommQueue none(-5);  // construction without storage succeeds
    EXPECT_FALSE(none.HasStorage());
    TCommQueue queue(64);
    ASSERT_EQ(queue.In("abc", 3), 3);
    queue.fSetBufSize(0);
    EXPECT_EQ(queue.fGetSize(), 64);  // the size survives the release
    EXPECT_EQ(queue.In("abc", 3), 0);
    char out[4];
    EXPECT_EQ(queue.Out(out, 4), 0);
    queue.fSetBufSize(100);
    EXPECT_EQ(queue.Count(), 0);
    EXPECT_EQ(queue.In(Pattern(200).data(), 200), 99);
}

// A producer and a consumer thread, and the owner purging meanwhile as the
// engine's purges do: no byte is read outside the storage, and without the
// purges every byte arrives once and in order.
TEST(Queue, ProducerConsumerAndPurgesOnThreadsAtOnce)
{
    for (const bool purging : {false, true}) {
        TCommQueue queue(257);
        const std::string data = Pattern(1 << 20);
        std::atomic<bool> done{false};
        std::thread producer([&] {
            for (std::size_t sent = 0; sent < data.size();) {
                const long n = queue.In(data.data() + sent, static_cast<long>(std::min<std::size_t>(97, data.size() - sent)));
                sent += static_cast<std::size_t>(n);
                if (n == 0)
                    std::this_thread::yield();
            }
            done = true;
        });
        std::thread purger([&] {
            for (; purging && !done; std::this_thread::yield())
                queue.Purge();
        });
        std::string received;
        char chunk[113];
        while (!done || queue.Count() > 0) {
            const long n = queue.Out(chunk, sizeof chunk);
            received.append(chunk, static_cast<std::size_t>(n));
            if (n == 0)
                std::this_thread::yield();
        }
        producer.join();
        purger.join();
        EXPECT_TRUE(purging ? received.size() <= data.size() : received == data);
    }
}

} // namespace
