#pragma once
// A byte ring shared by one producer and one consumer. A queue of Size
// bytes holds at most Size - 1 bytes.
//
// Threads: every operation may be called from any thread. Each takes the
// queue's one mutex for its whole length, copy included, so that a purge or
// a resize by the owner never meets a worker's copy half-way. It is a lock,
// not a lock-free ring: the copies are short (at most two block copies of
// at most a chunk or a transfer buffer), so the lock is held briefly.

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

    long fGetSize() const;
    bool HasStorage() const;
    long Count() const;   // bytes held
    long Room() const;    // free room

private:
    void _Release();

    mutable std::mutex Lock;
    long Size;
    long Head = 0;
    long Tail = 0;
    char* Buffer = nullptr;
};

} // namespace OrvekComm32
