#pragma once
// The package queue of the package layer: a ring of equal-sized slots.

#include <atomic>
#include <cstdint>
#include <memory>

namespace OrvekComm32 {

class TCommPackage;

// A ring of equal-sized slots, one package record each, for one producer
// thread (In) and one consumer thread (Out, Read, Count). A queue of n
// slots holds n - 1 packages. SetQueue, fRemoveQueue and Empty reset both
// indices: the caller must keep the other side out while they run.
class TCommPackageQueue {
public:
    TCommPackageQueue(unsigned long Count, unsigned long SlotSize);
    virtual ~TCommPackageQueue();
    TCommPackageQueue(const TCommPackageQueue&) = delete;
    TCommPackageQueue& operator=(const TCommPackageQueue&) = delete;

    // Makes an empty queue of Count slots (at least 2) of SlotSize bytes (at
    // least 32). False, with the queue left exactly as it was, when the
    // storage would exceed a 32-bit byte count or cannot be had.
    bool SetQueue(long Count, long SlotSize);
    // Each copies one whole slot; false without storage or when the queue
    // is full (In) or holds fewer packages than asked for (Out, Read).
    bool In(const void* Record);
    bool Out(void* Record);
    bool Read(void* Record, unsigned long Index);
    void fRemoveQueue();
    void Empty();

    std::uint32_t Capacity() const;
    std::uint32_t SlotSize() const;
    std::uint32_t Count() const;

private:
    friend class TCommPackage;
    // In place of In and Out, for a caller that fills or reads a slot
    // itself: the free slot (null when full), then _CommitIn to publish it;
    // the oldest slot (null when empty), then _CommitOut to release it.
    unsigned char* _InSlot();
    void _CommitIn();
    const unsigned char* _OutSlot() const;
    void _CommitOut();

    std::unique_ptr<unsigned char[]> Storage;
    // Each index is written by one side only; apart, so that the producer's
    // stores do not keep taking the consumer's cache line and back.
    alignas(64) std::atomic<std::uint32_t> OutIndex {0};
    alignas(64) std::atomic<std::uint32_t> InIndex {0};
    alignas(64) std::uint32_t FCapacity = 2;
    std::uint32_t FSlotSize = 32;
};

} // namespace OrvekComm32
