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
    std::lock_guard guard(Lock);
    Head = 0;
    Tail = 0;
    if (Size <= 0) {
        _Release();
        return;
    }
    char* storage = new (std::nothrow) char[static_cast<std::size_t>(Size)];
    if (!storage)
        throw EComm32Error(EComm32Error::ecOutOfMemory);
    _Release();
    this->Size = Size;
    Buffer = storage;
}

void TCommQueue::_Release()
{
    delete[] Buffer;
    Buffer = nullptr;
}

void TCommQueue::Purge()
{
    std::lock_guard guard(Lock);
    Head = 0;
    Tail = 0;
}

long TCommQueue::fGetSize() const
{
    std::lock_guard guard(Lock);
    return Size;
}

bool TCommQueue::HasStorage() const
{
    std::lock_guard guard(Lock);
    return Buffer != nullptr;
}

long TCommQueue::Count() const
{
    std::lock_guard guard(Lock);
    return Buffer ? (Tail - Head + Size) % Size : 0;
}

long TCommQueue::Room() const
{
    std::lock_guard guard(Lock);
    return Buffer ? (Head - Tail + Size - 1) % Size : 0;
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
    std::lock_guard guard(Lock);
    if (!Buffer || !Data || Count < 1)
        return 0;
    const long n = std::min(Count, (Head - Tail + Size - 1) % Size);
    if (n <= 0)
        return 0;
    const long first = std::min(n, Size - Tail);
    std::memcpy(Buffer + Tail, Data, static_cast<std::size_t>(first));
    std::memcpy(Buffer, Data + first, static_cast<std::size_t>(n - first));
    Tail = (Tail + n) % Size;
    return n;
}

long TCommQueue::Out(char* Data, long Count)
{
    std::lock_guard guard(Lock);
    if (!Buffer || !Data || Count < 1)
        return 0;
    const long n = std::min(Count, (Tail - Head + Size) % Size);
    if (n <= 0)
        return 0;
    const long first = std::min(n, Size - Head);
    std::memcpy(Data, Buffer + Head, static_cast<std::size_t>(first));
    std::memcpy(Data + first, Buffer, static_cast<std::size_t>(n - first));
    Head = (Head + n) % Size;
    return n;
}

} // namespace OrvekComm32
