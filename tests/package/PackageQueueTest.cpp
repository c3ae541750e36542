// The ring of package slots. Its use by two threads without a lock is
// exercised by the layer's thread tests, which the thread sanitizer watches.
#include "Tcommpkg.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace OrvekComm32;

namespace {

// A record of `slotSize` bytes: length, then a running number, then a
// pattern, so that a wrong or torn slot shows.
std::vector<unsigned char> Record(std::uint32_t slotSize, std::uint32_t number)
{
    std::vector<unsigned char> record(slotSize);
    const std::uint32_t length = slotSize - 4;
    std::memcpy(record.data(), &length, 4);
    std::memcpy(record.data() + 4, &number, 4);
    for (std::uint32_t i = 8; i < slotSize; ++i)
        record[i] = static_cast<unsigned char>(number + i);
    return record;
}

int Fill(TCommPackageQueue& queue)
{
    int stored = 0;
    while (queue.In(Record(queue.SlotSize(), static_cast<std::uint32_t>(stored)).data()))
        ++stored;
    return stored;
}

} // namespace

// Two in, one out, so that the records wrap round the ring; each round peeks
// at every record held.
TEST(PackageQueue, KeepsOrderAcrossTheWrapAndPeeksWithoutTaking)
{
    TCommPackageQueue queue(5, 32);
    std::vector<unsigned char> out(32);
    for (std::uint32_t next = 0, first = 0; next < 16;) {
        for (int i = queue.Count() < 3 ? 2 : 1; i > 0; --i)
            ASSERT_TRUE(queue.In(Record(32, next++).data()));
        for (std::uint32_t i = 0; i < queue.Count(); ++i) {
            ASSERT_TRUE(queue.Read(out.data(), i));
            EXPECT_EQ(out, Record(32, first + i)) << "peek " << i << " of round " << next;
        }
        EXPECT_FALSE(queue.Read(out.data(), queue.Count()));
        ASSERT_TRUE(queue.Out(out.data()));
        EXPECT_EQ(out, Record(32, first++));
    }
}

// Storage beyond 32 bits is refused and the queue kept; without storage
// everything is refused until new storage comes, whose slots are at least
// 32 bytes.
TEST(PackageQueue, RefusedStorageKeepsTheQueueAndNoStorageRefusesAll)
{
    TCommPackageQueue queue(4, 64);
    ASSERT_TRUE(queue.In(Record(64, 7).data()));
    EXPECT_FALSE(queue.SetQueue(65536, 65536));          // exactly 2^32 bytes
    EXPECT_FALSE(queue.SetQueue(2, 0x7FFFFFFFL + 1));     // 2 slots of 2 GiB
    EXPECT_FALSE(queue.SetQueue(0x100000000L, 32));
    std::vector<unsigned char> out(64);
    ASSERT_TRUE(queue.Read(out.data(), 0));
    EXPECT_EQ(out, Record(64, 7));
    EXPECT_EQ(Fill(queue), 2);

    queue.fRemoveQueue();
    EXPECT_FALSE(queue.In(Record(64, 2).data()));
    EXPECT_FALSE(queue.Out(out.data()) || queue.Read(out.data(), 0));
    EXPECT_EQ(queue.Count(), 0u);
    ASSERT_TRUE(queue.SetQueue(3, 0));
    EXPECT_EQ(queue.SlotSize(), 32u);
    EXPECT_EQ(Fill(queue), 2);
}
