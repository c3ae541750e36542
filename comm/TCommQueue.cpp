#include "TCommQueue.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "EComm32Error.h"

namespace OrvekComm32 {

TCommQueue::TCommQueue(long Size) : Size(Size)
{
    try {
        fSetBufSize(Size);
    } catch (const Exception&) {
        // A queue without storage refuses every byte; the engine's Open
        // reports it.
        fSetBufSize(0);
    }
}

TCommQueue::~TCommQueue()
{
    fSetBufSize(0);
}

void TCommQueue::fSetBufSize(long Size)
{
    std::lock_guard guard(Guard);
    Head.store(0, std::memory_order_relaxed);
    Tail.store(0, std::memory_order_relaxed);
    if (Size <= 0) {
        _Release();
        return;
    }
    char* storage = new (std::nothrow) char[static_cast<std::size_t>(Size)];
    if (!storage)
        throw EComm32Error(EComm32Error::ecOutOfMemory);
    _Release();
    this->Size.store(Size, std::memory_order_release);  // pairs with the acquire loads in fGetSize
    Buffer.store(storage, std::memory_order_release);   // pairs with the acquire loads of Buffer below
}

void TCommQueue::_Release()
{
    delete[] Buffer.exchange(nullptr, std::memory_order_acq_rel);
}

void TCommQueue::Purge()
{
    std::lock_guard guard(Guard);
    Head.store(0, std::memory_order_relaxed);
    Tail.store(0, std::memory_order_relaxed);
}

bool TCommQueue::HasStorage() const
{
    return Buffer.load(std::memory_order_acquire) != nullptr;
}

long TCommQueue::Count() const
{
    if (!HasStorage())
        return 0;
    const long size = Size.load(std::memory_order_relaxed);
    const long head = Head.load(std::memory_order_acquire);  // pairs with the release store in Out
    const long tail = Tail.load(std::memory_order_acquire);  // pairs with the release store in In
    return (tail - head + size) % size;
}

long TCommQueue::Room() const
{
    if (!HasStorage())
        return 0;
    const long size = Size.load(std::memory_order_relaxed);
    const long head = Head.load(std::memory_order_acquire);  // pairs with the release store in Out
    const long tail = Tail.load(std::memory_order_acquire);  // pairs with the release store in In
    return (head - tail + size - 1) % size;
}

long TCommQueue::In(const char* Byte)
{
    return In(Byte, 1);
}

long TCommQueue::Out(char* Byte)
{
    return Out(Byte, 1);
}

long TCommQueue::In(const char* Data, long Count)
{
    char* const buffer = Buffer.load(std::memory_order_acquire);  // pairs with the release store in fSetBufSize
    if (!buffer || !Data || Count < 1)
        return 0;
    const long size = Size.load(std::memory_order_relaxed);
    const long tail = Tail.load(std::memory_order_relaxed);  // our own index
    const long head = Head.load(std::memory_order_acquire);  // pairs with the release store in Out: those bytes are free
    const long n = std::min(Count, (head - tail + size - 1) % size);
    if (n <= 0)
        return 0;
    const long first = std::min(n, size - tail);
    std::memcpy(buffer + tail, Data, static_cast<std::size_t>(first));
    std::memcpy(buffer, Data + first, static_cast<std::size_t>(n - first));
    Tail.store((tail + n) % size, std::memory_order_release);  // pairs with the acquire load of Tail in Out
    return n;
}

long TCommQueue::Out(char* Data, long Count)
{
    char* const buffer = Buffer.load(std::memory_order_acquire);  // pairs with the release store in fSetBufSize
    if (!buffer || !Data || Count < 1)
        return 0;
    const long size = Size.load(std::memory_order_relaxed);
    const long head = Head.load(std::memory_order_relaxed);  // our own index
    const long tail = Tail.load(std::memory_order_acquire);  // pairs with the release store in In: those bytes are written
    const long n = std::min(Count, (tail - head + size) % size);
    if (n <= 0)
        return 0;
    const long first = std::min(n, size - head);
    std::memcpy(Data, buffer + head, static_cast<std::size_t>(first));
    std::memcpy(Data + first, buffer, static_cast<std::size_t>(n - first));
    Head.store((head + n) % size, std::memory_order_release);  // pairs with the acquire load of Head in In
    return n;
}

} // namespace OrvekComm32
