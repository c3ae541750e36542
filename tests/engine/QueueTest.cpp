// The byte ring: capacity one below its size, wrap-around in two pieces,
// refusals that change nothing, and storage that comes and goes.
#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "TCommQueue.h"

using OrvekComm32::TCommQueue;

namespace {

std::string Pattern(std::size_t count)
{
    std::string bytes(count, '\0');
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<char>(i * 7 + 3);
    return bytes;
}

TEST(Queue, HoldsOneByteLessThanItsSize)
{
    TCommQueue queue(8192);
    const std::string data = Pattern(10000);
    EXPECT_EQ(queue.In(data.data(), 10000), 8191);
    EXPECT_EQ(queue.In(data.data(), 1), 0);
    EXPECT_EQ(queue.In(data.data()), 0);
    EXPECT_EQ(queue.Count(), 8191);
    EXPECT_EQ(queue.Room(), 0);

    std::string out(10000, '\0');
    ASSERT_EQ(queue.Out(out.data(), 10000), 8191);
    EXPECT_EQ(out.substr(0, 8191), data.substr(0, 8191));
}

TEST(Queue, WrapsAroundTheEndInOrder)
{
    TCommQueue queue(16);
    char scratch[16];
    ASSERT_EQ(queue.In("abcdefghijklmn", 14), 14);
    ASSERT_EQ(queue.Out(scratch, 14), 14);  // both indices now 2 before the end
    ASSERT_EQ(queue.In("12345", 5), 5);
    EXPECT_EQ(queue.Count(), 5);
    char out[5];
    ASSERT_EQ(queue.Out(out, 5), 5);
    EXPECT_EQ(std::string(out, 5), "12345");
    EXPECT_EQ(queue.Count(), 0);
}

TEST(Queue, RefusalsChangeNothing)
{
    TCommQueue queue(8);
    char out[4];
    EXPECT_EQ(queue.Out(out, 4), 0);          // empty
    EXPECT_EQ(queue.Out(out), 0);
    ASSERT_EQ(queue.In("xy", 2), 2);
    EXPECT_EQ(queue.Out(out, 0), 0);
    EXPECT_EQ(queue.Out(nullptr, 4), 0);
    EXPECT_EQ(queue.Out(static_cast<char*>(nullptr)), 0);
    EXPECT_EQ(queue.In(nullptr, 3), 0);
    EXPECT_EQ(queue.In("z", -1), 0);
    EXPECT_EQ(queue.Count(), 2);
    ASSERT_EQ(queue.Out(out), 1);
    EXPECT_EQ(out[0], 'x');
}

TEST(Queue, StorageReleasedAndRegained)
{
    TCommQueue queue(64);
    ASSERT_EQ(queue.In("abc", 3), 3);
    queue.fSetBufSize(0);
    EXPECT_FALSE(queue.HasStorage());
    EXPECT_EQ(queue.fGetSize(), 64);  // the size survives the release
    EXPECT_EQ(queue.In("abc", 3), 0);
    char out[4];
    EXPECT_EQ(queue.Out(out, 4), 0);

    queue.fSetBufSize(100);
    EXPECT_TRUE(queue.HasStorage());
    EXPECT_EQ(queue.fGetSize(), 100);
    EXPECT_EQ(queue.Count(), 0);
    EXPECT_EQ(queue.In(Pattern(200).data(), 200), 99);
}

TEST(Queue, ConstructionWithoutStorageSucceeds)
{
    TCommQueue none(0);
    EXPECT_FALSE(none.HasStorage());
    TCommQueue negative(-5);
    EXPECT_FALSE(negative.HasStorage());
    EXPECT_EQ(negative.In("a", 1), 0);
}

TEST(Queue, PurgeEmptiesAndKeepsStorage)
{
    TCommQueue queue(32);
    ASSERT_EQ(queue.In("hello", 5), 5);
    queue.Purge();
    EXPECT_EQ(queue.Count(), 0);
    EXPECT_EQ(queue.Room(), 31);
}

// One producer and one consumer on their own threads: every byte arrives
// once and in order, whatever the interleaving of the index stores.
TEST(Queue, ProducerAndConsumerThreadsKeepEveryByteInOrder)
{
    TCommQueue queue(257);
    const std::string data = Pattern(1 << 20);
    std::thread producer([&] {
        std::size_t sent = 0;
        while (sent < data.size()) {
            const long n = queue.In(data.data() + sent, static_cast<long>(std::min<std::size_t>(97, data.size() - sent)));
            sent += static_cast<std::size_t>(n);
            if (n == 0)
                std::this_thread::yield();
        }
    });
    std::string received;
    received.reserve(data.size());
    char chunk[113];
    while (received.size() < data.size()) {
        const long n = queue.Out(chunk, sizeof chunk);
        received.append(chunk, static_cast<std::size_t>(n));
        if (n == 0)
            std::this_thread::yield();
    }
    producer.join();
    EXPECT_TRUE(received == data);
}

} // namespace
