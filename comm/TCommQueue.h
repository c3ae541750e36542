#pragma once
// A byte ring shared by one producer and one consumer without a lock. A
// queue of Size bytes holds at most Size - 1 bytes.
//
// Threads: In from one thread and Out from another may run at the same
// time. fSetBufSize and Purge reset both indices; they take the queue's
// Guard, which the engine's worker threads (and the engine's own Read, Write
// and Command) also hold around their In and Out calls, so that a reset never
// meets a copy half-way. A caller that uses In or Out directly, beside the
// engine, must be the one that resizes and purges, or hold Guard too.

#include <atomic>
#include <mutex>

namespace OrvekComm32 {

class TCommQueue {
public:
    explicit TCommQueue(long Size);
    virtual ~TCommQueue();
    TCommQueue(const TCommQueue&) = delete;
    TCommQueue& operator=(const TCommQueue&) = delete;

    // Empties the queue; a size of 0 or less releases the storage (Size
    // keeps its old value). Throws EComm32Error(ecOutOfMemory) when the new
    // storage cannot be had, keeping the old storage.
    void fSetBufSize(long Size);

    // Each returns the number of bytes moved: 0 without storage, for a null
    // pointer, a count below 1, a full queue (In) or an empty one (Out).
    long In(const char* Byte);
    long In(const char* Data, long Count);
    long Out(char* Byte);
    long Out(char* Data, long Count);

    // Empties the queue (both indices to 0), keeping the storage.
    void Purge();

    long fGetSize() const { return Size.load(std::memory_order_acquire); }
    bool HasStorage() const;
    long Count() const;   // bytes held
    long Room() const;    // free room

    // Held by the engine's threads around their queue calls, and by
    // fSetBufSize and Purge.
    std::mutex Guard;

private:
    void _Release();

    std::atomic<long> Size;
    // Each index is written by one side only; apart so that the producer's
    // stores do not keep invalidating the consumer's line and back.
    alignas(64) std::atomic<long> Head{0};
    alignas(64) std::atomic<long> Tail{0};
    alignas(64) std::atomic<char*> Buffer{nullptr};
};

} // namespace OrvekComm32
