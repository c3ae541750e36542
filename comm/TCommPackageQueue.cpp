#include "TCommPackageQueue.h"

#include <algorithm>


#include "PackageRecord.h"

namespace OrvekComm32 {

using namespace PackageRecord;

TCommPackageQueue::TCommPackageQueue(unsigned long Count, unsigned long SlotSize)
{
    SetQueue(static_cast<long>(Count), static_cast<long>(SlotSize));
}

TCommPackageQueue::~TCommPackageQueue()
{
    fRemoveQueue();
}

bool TCommPackageQueue::SetQueue(long Count, long SlotSize)
{
    const std::uint64_t capacity = static_cast<std::uint64_t>(std::max(Count, MinSlots));
    const std::uint64_t slotSize = static_cast<std::uint64_t>(std::max(SlotSize, MinSlotSize));
    if (capacity > MaxStorage / slotSize)
        return false;
    auto storage = Allocate(capacity * slotSize);
    if (!storage)
        return false;
    Storage = std::move(storage);
    FCapacity = static_cast<std::uint32_t>(capacity);
    FSlotSize = static_cast<std::uint32_t>(slotSize);
    Empty();
    return true;
}

bool TCommPackageQueue::In(const void* Record)
{
    unsigned char* slot = _InSlot();
    if (!slot)
        return false;
    std::memcpy(slot, Record, FSlotSize);
    _CommitIn();
    return true;
}

bool TCommPackageQueue::Out(void* Record)
{
    const unsigned char* slot = _OutSlot();
    if (!slot)
        return false;
    std::memcpy(Record, slot, FSlotSize);
    _CommitOut();
    return true;
}

bool TCommPackageQueue::Read(void* Record, unsigned long Index)
{
    if (!Storage || Index >= Count())
        return false;
    const std::uint64_t out = OutIndex.load(std::memory_order_relaxed); // own index
    const std::uint64_t slot = (out + Index) % FCapacity;
    std::memcpy(Record, Storage.get() + slot * FSlotSize, FSlotSize);
    return true;
}

void TCommPackageQueue::fRemoveQueue()
{
    Storage.reset();
    Empty();
}

void TCommPackageQueue::Empty()
{
    // Relaxed: the caller keeps the other side out with a lock that both
    // sides take, and that lock orders these stores for it.
    OutIndex.store(0, std::memory_order_relaxed);
    InIndex.store(0, std::memory_order_relaxed);
}

std::uint32_t TCommPackageQueue::Capacity() const
{
    return FCapacity;
}

std::uint32_t TCommPackageQueue::SlotSize() const
{
    return FSlotSize;
}

std::uint32_t TCommPackageQueue::Count() const
{
    // Either side may ask: each acquire pairs with the other side's release
    // in _CommitIn or _CommitOut.
    const std::uint32_t in = InIndex.load(std::memory_order_acquire);
    const std::uint32_t out = OutIndex.load(std::memory_order_acquire);
    return (in + FCapacity - out) % FCapacity;
}

unsigned char* TCommPackageQueue::_InSlot()
{
    if (!Storage)
        return nullptr;
    const std::uint32_t in = InIndex.load(std::memory_order_relaxed); // own index
    // Pairs with the release in _CommitOut: the consumer is done with the
    // slot before the producer reuses it.
    if ((in + 1) % FCapacity == OutIndex.load(std::memory_order_acquire))
        return nullptr;
    return Storage.get() + static_cast<std::uint64_t>(in) * FSlotSize;
}

void TCommPackageQueue::_CommitIn()
{
    const std::uint32_t in = InIndex.load(std::memory_order_relaxed); // own index
    // Pairs with the acquire loads of InIndex in _OutSlot and Count: the
    // slot's bytes are visible before the index that covers them.
    InIndex.store((in + 1) % FCapacity, std::memory_order_release);
}

const unsigned char* TCommPackageQueue::_OutSlot() const
{
    if (!Storage)
        return nullptr;
    const std::uint32_t out = OutIndex.load(std::memory_order_relaxed); // own index
    // Pairs with the release in _CommitIn: the producer's copy is complete.
    if (out == InIndex.load(std::memory_order_acquire))
        return nullptr;
    return Storage.get() + static_cast<std::uint64_t>(out) * FSlotSize;
}

void TCommPackageQueue::_CommitOut()
{
    const std::uint32_t out = OutIndex.load(std::memory_order_relaxed); // own index
    // Pairs with the acquire load of OutIndex in _InSlot and Count: the slot
    // has been read before the producer may overwrite it.
    OutIndex.store((out + 1) % FCapacity, std::memory_order_release);
}

} // namespace OrvekComm32
