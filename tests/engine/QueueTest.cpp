// The byte ring: capacity one below its size, wrap-around in two pieces,
// refusals that change nothing, storage that comes and goes, two threads.
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
    std::string out(10000, '\0');
    EXPECT_EQ(queue.In(data.data(), 10000), 8191);
    EXPECT_EQ(queue.In(data.data()), 0);
    ASSERT_EQ(queue.Out(out.data(), 10000), 8191);
    EXPECT_EQ(out.substr(0, 8191), data.substr(0, 8191));

    TCommQueue ring(16);
    ASSERT_EQ(ring.In("abcdefghijklmn", 14), 14);
    ASSERT_EQ(ring.Out(out.data(), 14), 14);  // both indices now 2 before the end
    ASSERT_EQ(ring.In("12345", 5), 5);
    ASSERT_EQ(ring.Out(out.data(), 16), 5);
    EXPECT_EQ(out.substr(0, 5), "12345");
}

TEST(Queue, RefusalsChangeNothingAndStorageComesAndGoes)
{
    TCommQueue queue(8);
    char out[4];
    ASSERT_EQ(queue.In("xy", 2), 2);
    EXPECT_EQ(queue.Out(nullptr, 4) + queue.In(nullptr, 3), 0);
    ASSERT_EQ(queue.Out(out, 4), 2);
    EXPECT_EQ(queue.Out(out, 4), 0);  // empty
    queue.fSetBufSize(0);
    EXPECT_EQ(queue.In("abc", 3), 0);
    queue.fSetBufSize(100);
    EXPECT_EQ(queue.In(Pattern(200).data(), 200), 99);
}

// One producer and one consumer on their own threads: every byte arrives
// once and in order.
TEST(Queue, ProducerAndConsumerThreadsKeepEveryByteInOrder)
{
    TCommQueue queue(257);
    const std::string data = Pattern(1 << 20);
    std::thread producer([&] {
        for (std::size_t sent = 0, n; sent < data.size(); sent += n)
            if ((n = static_cast<std::size_t>(queue.In(data.data() + sent, std::min<long>(97, data.size() - sent)))) == 0)
                std::this_thread::yield();
    });
    std::string received;
    for (char chunk[113]; received.size() < data.size();) {
        const long n = queue.Out(chunk, sizeof chunk);
        received.append(chunk, static_cast<std::size_t>(n));
        if (n == 0)
            std::this_thread::yield();
    }
    producer.join();
    EXPECT_TRUE(received == data);
}

} // namespace
