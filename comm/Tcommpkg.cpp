#include "Tcommpkg.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <limits>
#include <new>

namespace OrvekComm32 {
namespace {

constexpr std::uint64_t MaxStorage = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint32_t HeadSize = sizeof(std::uint32_t);
constexpr long MinSlots = 2;
constexpr long MinSlotSize = 32;

// Record lengths are read and written through memcpy: records live in
// plain byte storage, and a caller's record need not be aligned.
std::uint32_t LengthOf(const void* Record)
{
    std::uint32_t length;
    std::memcpy(&length, Record, sizeof length);
    return length;
}

void SetLengthOf(void* Record, std::uint32_t Length)
{
    std::memcpy(Record, &Length, sizeof Length);
}

std::uint64_t SlotSizeFor(std::uint64_t PackageSize)
{
    return std::max<std::uint64_t>(PackageSize + HeadSize, MinSlotSize);
}

std::uint64_t EncodedRecordSizeFor(std::uint64_t PackageSize)
{
    return std::max<std::uint64_t>(HeadSize + 2 * PackageSize + 4, SlotSizeFor(PackageSize));
}

// Zeroed, so that whole-slot copies never carry indeterminate bytes.
std::unique_ptr<unsigned char[]> Allocate(std::uint64_t Bytes)
{
    return std::unique_ptr<unsigned char[]>(new (std::nothrow) unsigned char[Bytes]());
}

} // namespace

// ---------------------------------------------------------------------------
// TCommPackageQueue

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

// ---------------------------------------------------------------------------
// The layer's private parts

// The queues and records, made together for one queue size and package
// size so that a size change either replaces all of them or none.
struct TCommPackage::TBuffers {
    struct TRecord {
        std::unique_ptr<unsigned char[]> Bytes;

        unsigned char* Head() { return Bytes.get(); }
        unsigned char* Data() { return Bytes.get() + HeadSize; }
        std::uint32_t Length() const { return LengthOf(Bytes.get()); }
        void SetLength(std::uint32_t Length) { SetLengthOf(Bytes.get(), Length); }
    };

    // Declared in the reverse of their release: transmit queue, receive
    // queue, then the records.
    TRecord ReceiveRecord;
    TRecord EncodedRecord;
    TRecord TransmitRecord;
    std::unique_ptr<TCommPackageQueue> ReceiveQueue;
    std::unique_ptr<TCommPackageQueue> TransmitQueue;

    // Whether every record and queue stays within a 32-bit byte count.
    static bool Fits(long QueueSize, std::uint64_t PackageSize)
    {
        const std::uint64_t slots = static_cast<std::uint64_t>(std::max(QueueSize, MinSlots));
        const std::uint64_t slotSize = SlotSizeFor(PackageSize);
        return PackageSize <= MaxStorage && EncodedRecordSizeFor(PackageSize) <= MaxStorage
               && slots <= MaxStorage / slotSize;
    }

    // Null when a size does not fit or memory is short.
    static std::unique_ptr<TBuffers> Make(long QueueSize, std::uint32_t PackageSize)
    {
        if (!Fits(QueueSize, PackageSize))
            return nullptr;
        auto made = std::unique_ptr<TBuffers>(new (std::nothrow) TBuffers);
        if (!made)
            return nullptr;
        const std::uint64_t slotSize = SlotSizeFor(PackageSize);
        made->ReceiveRecord.Bytes = Allocate(slotSize);
        made->EncodedRecord.Bytes = Allocate(EncodedRecordSizeFor(PackageSize));
        made->TransmitRecord.Bytes = Allocate(slotSize);
        made->ReceiveQueue = MakeQueue(QueueSize, slotSize);
        made->TransmitQueue = MakeQueue(QueueSize, slotSize);
        if (!made->ReceiveRecord.Bytes || !made->EncodedRecord.Bytes || !made->TransmitRecord.Bytes
            || !made->ReceiveQueue || !made->TransmitQueue)
            return nullptr;
        return made;
    }

    static std::unique_ptr<TCommPackageQueue> MakeQueue(long QueueSize, std::uint64_t SlotSize)
    {
        auto queue = std::unique_ptr<TCommPackageQueue>(new (std::nothrow) TCommPackageQueue(2, MinSlotSize));
        if (!queue || !queue->SetQueue(QueueSize, static_cast<long>(SlotSize)))
            return nullptr;
        return queue;
    }
};

// The auto-reset event the layer thread sleeps on.
class TCommPackage::TWakeEvent {
public:
    void Signal()
    {
        {
            std::lock_guard guard(Lock);
            Signalled = true;
        }
        Woken.notify_one();
    }

    // Both return with the event reset, signalled or not.
    void Wait()
    {
        std::unique_lock guard(Lock);
        Woken.wait(guard, [this] { return Signalled; });
        Signalled = false;
    }

    void WaitFor(std::chrono::milliseconds Timeout)
    {
        std::unique_lock guard(Lock);
        Woken.wait_for(guard, Timeout, [this] { return Signalled; });
        Signalled = false;
    }

private:
    std::mutex Lock;
    std::condition_variable Woken;
    bool Signalled = false;
};

// The engine reaches the layer only through this gate, which the handler
// installed on the engine co-owns. The engine's event slot lets a call that
// had already taken the handler finish after the handler was replaced, so
// the destructor cannot just put the old handler back: it closes the gate,
// which waits for the calls inside the layer and turns later stragglers to
// the saved handler.
struct TCommPackage::TNotifyGate {
    TNotifyGate(TCommPackage* Layer, TCommNotifyEvent::Handler Saved) : Saved(std::move(Saved)), Layer(Layer) {}

    void Forward(TObject* Sender, int NotifyType)
    {
        TCommPackage* layer = Enter();
        if (!layer) {
            if (Saved)
                Saved(Sender, NotifyType);
            return;
        }
        struct TLeave {
            TNotifyGate* Gate;
            ~TLeave() { Gate->Leave(); }
        } leave {this};
        layer->fNewCommNotify(Sender, NotifyType);
    }

    void Close()
    {
        std::unique_lock guard(Lock);
        Layer = nullptr;
        Idle.wait(guard, [this] { return InFlight == 0; });
    }

    const TCommNotifyEvent::Handler Saved; // the engine's handler before the layer hooked in

private:
    TCommPackage* Enter()
    {
        std::lock_guard guard(Lock);
        if (Layer)
            ++InFlight;
        return Layer;
    }

    void Leave()
    {
        std::lock_guard guard(Lock);
        if (--InFlight == 0)
            Idle.notify_all();
    }

    std::mutex Lock;
    std::condition_variable Idle;
    TCommPackage* Layer;
    int InFlight = 0;
};

// ---------------------------------------------------------------------------
// TCommPackage: construction and destruction

TCommPackage::TCommPackage(TComm32* Comm) : Comm(Comm)
{
    // The flags, sizes and frame bytes start as the member initializers say.
    Buffers = TBuffers::Make(FQSize, FPkgSize);
    if (!Buffers)
        throw std::bad_alloc();
    Decoder.Reset();
    WakeEvent = std::make_unique<TWakeEvent>();
    // Made before the thread starts, so that nothing after it can fail.
    auto gate = std::make_shared<TNotifyGate>(this, Comm->OnCommNotify.Get());
    TCommNotifyEvent::Handler hook = [gate](TObject* Sender, int NotifyType) { gate->Forward(Sender, NotifyType); };

    Thread = std::thread(_fnTimerThread, this);

    try {
        Gate = std::move(gate);
        OnPackage = nullptr;
        Comm->OnCommNotify = std::move(hook);
    } catch (...) {
        KeepRunning = false;
        WakeEvent->Signal();
        Thread.join();
        throw;
    }
}

TCommPackage::~TCommPackage()
{
    Comm->OnCommNotify = Gate->Saved;
    Gate->Close();

    KeepRunning = false;
    WakeEvent->Signal();
    // Joined rather than waited for a bounded time: the thread may be inside
    // a package event handler, and everything it uses is freed below.
    Thread.join();

    WakeEvent.reset();
    Buffers.reset();
}

// ---------------------------------------------------------------------------
// Owner's operations

unsigned long TCommPackage::ReadPackage(void* Buf, unsigned long Size)
{
    if (!Active())
        return 0;
    TCommPackageQueue& queue = *Buffers->ReceiveQueue;
    if (PackageType() == cptCompatiblePkg)
        return Buf && queue.Out(Buf) ? 1 : 0;

    const unsigned char* slot = queue._OutSlot();
    if (!slot)
        return 0;
    const std::uint32_t length = std::min(LengthOf(slot), queue.SlotSize() - HeadSize);
    if (!Buf || Size == 0)
        return length;
    const std::uint32_t delivered = static_cast<std::uint32_t>(std::min<unsigned long>(length, Size));
    std::memcpy(Buf, slot + HeadSize, delivered);
    queue._CommitOut();
    return delivered;
}

unsigned long TCommPackage::WritePackage(const void* Buf, unsigned long Len)
{
    if (!Active() || !Buf)
        return 0;
    TCommPackageQueue& queue = *Buffers->TransmitQueue;
    if (PackageType() == cptCompatiblePkg) {
        if (!queue.In(Buf))
            return 0;
        _WritePackage();
        return 1;
    }

    if (Len == 0)
        return 0;
    unsigned char* slot = queue._InSlot();
    if (!slot)
        return 0;
    const std::uint32_t taken = static_cast<std::uint32_t>(std::min<unsigned long>(Len, PackageSize()));
    SetLengthOf(slot, taken);
    std::memcpy(slot + HeadSize, Buf, taken);
    queue._CommitIn();
    _WritePackage();
    return taken;
}

void TCommPackage::PurgeRead()
{
    if (!Active())
        return;
    Comm->PurgeRead(false);
    std::lock_guard guard(ReceiveLock);
    Buffers->ReceiveQueue->Empty();
}

void TCommPackage::PurgeWrite()
{
    if (!Active())
        return;
    {
        std::lock_guard guard(SendLock);
        Buffers->TransmitQueue->Empty();
    }
    Comm->PurgeWrite(false);
}

void TCommPackage::CallNotify(int NotifyType)
{
    OnPackage(this, NotifyType);
}

// ---------------------------------------------------------------------------
// Setters

void TCommPackage::fSetActive(bool Value)
{
    {
        std::scoped_lock both(ReceiveLock, SendLock);
        FActive = Value;
        Decoder.Reset();
        SentCount = 0;
        Buffers->ReceiveRecord.SetLength(0);
        Buffers->EncodedRecord.SetLength(0);
        Buffers->ReceiveQueue->Empty();
        Buffers->TransmitQueue->Empty();
    }
    WakeEvent->Signal();
}

void TCommPackage::fSetQSize(unsigned long Value)
{
    // Read as the signed count it is, so that a "negative" size gives the
    // smallest queue rather than an enormous one.
    const long count = static_cast<long>(Value);
    if (!TBuffers::Fits(count, PackageSize()))
        return;
    const bool wasActive = Active();
    if (wasActive)
        fSetActive(false);
    _ResizeBuffers(count, FPkgSize);
    if (wasActive)
        fSetActive(true);
}

void TCommPackage::fSetPkgSz(unsigned long Value)
{
    if (!TBuffers::Fits(QueueSize(), Value))
        return;
    const bool wasActive = Active();
    if (wasActive)
        fSetActive(false);
    _ResizeBuffers(QueueSize(), static_cast<std::uint32_t>(Value));
    if (wasActive)
        fSetActive(true);
}

void TCommPackage::fSetPkgType(TCommPackageType Value)
{
    const bool wasActive = Active();
    if (wasActive)
        fSetActive(false);
    FPkgType = Value;
    if (wasActive)
        fSetActive(true);
}

void TCommPackage::fSetPkgInterval(unsigned long Milliseconds)
{
    FPkgInterval = static_cast<std::uint32_t>(std::min<unsigned long>(Milliseconds, MaxStorage));
    WakeEvent->Signal();
}

void TCommPackage::fSetDblFrameMark(bool Value)
{
    FDblFrameMark = Value;
}

bool TCommPackage::_ResizeBuffers(long QueueSize, std::uint32_t PackageSize)
{
    auto fresh = TBuffers::Make(QueueSize, PackageSize);
    if (!fresh)
        return false;
    std::scoped_lock both(ReceiveLock, SendLock);
    Buffers.swap(fresh); // the old ones are freed after the locks are released
    FQSize = QueueSize;
    FPkgSize = PackageSize;
    Decoder.Length = 0;
    return true;
}

bool TCommPackage::Active() const
{
    return FActive;
}

bool TCommPackage::DoubleFrameMark() const
{
    return FDblFrameMark;
}

long TCommPackage::QueueSize() const
{
    return FQSize;
}

unsigned long TCommPackage::PackageSize() const
{
    return FPkgSize;
}

TCommPackageType TCommPackage::PackageType() const
{
    return FPkgType;
}

unsigned long TCommPackage::PackageInterval() const
{
    return FPkgInterval;
}

// ---------------------------------------------------------------------------
// Engine notification and the sending step

void TCommPackage::fNewCommNotify(TObject* Sender, int NotifyType)
{
    if (Active()) {
        int pass = NotifyType & ~(EV_RXCHAR | EV_TXEMPTY);
        if ((NotifyType & EV_RXCHAR) && PackageType() != cptFrameTimeout && _ReadHeadTailPackage())
            pass |= EV_RXCHAR;
        if ((NotifyType & EV_TXEMPTY) && _WritePackage())
            pass |= EV_TXEMPTY;
        if (pass != 0) {
            try {
                CallNotify(pass);
            } catch (...) {
                // Dropped, as the engine drops its handlers' exceptions;
                // the saved handler still gets the notification.
            }
        }
    }
    if (Gate->Saved)
        Gate->Saved(Sender, NotifyType);
}

TFrameMarks TCommPackage::_Marks() const
{
    return TFrameMarks {FrameHead.load(std::memory_order_relaxed), FrameTail.load(std::memory_order_relaxed),
                        FrameCtrl.load(std::memory_order_relaxed)};
}

// Returns whether the receive queue holds a package afterwards.
bool TCommPackage::_ReadHeadTailPackage()
{
    std::lock_guard guard(ReceiveLock);
    if (!Active() || PackageType() == cptFrameTimeout)
        return false;
    const TFrameMarks marks = _Marks();
    unsigned char* package = Buffers->ReceiveRecord.Data();
    const std::uint32_t limit = FPkgSize;
    for (;;) {
        const long got = Comm->Read(ReadChunk, sizeof ReadChunk);
        if (got < 1)
            break;
        const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(got), sizeof ReadChunk);
        DecodeHeadTail(Decoder, marks, package, limit, ReadChunk, count, _QueueReceived, this);
    }
    return Buffers->ReceiveQueue->Count() > 0;
}

void TCommPackage::_QueueReceived(void* Layer, const unsigned char*, std::uint32_t Length)
{
    // The package was assembled in the receive record's data area.
    TBuffers& buffers = *static_cast<TCommPackage*>(Layer)->Buffers;
    buffers.ReceiveRecord.SetLength(Length);
    buffers.ReceiveQueue->In(buffers.ReceiveRecord.Head()); // a full queue loses the package
}

// Returns whether the transmit queue is empty afterwards.
bool TCommPackage::_WritePackage()
{
    std::lock_guard guard(SendLock);
    TBuffers& buffers = *Buffers;
    TBuffers::TRecord& encoded = buffers.EncodedRecord;

    const std::uint32_t encodedLength = encoded.Length();
    if (encodedLength > SentCount) {
        const long accepted = Comm->Write(encoded.Data() + SentCount, static_cast<long>(encodedLength - SentCount));
        SentCount += static_cast<std::uint32_t>(std::clamp<long>(accepted, 0, encodedLength - SentCount));
        return buffers.TransmitQueue->Count() == 0;
    }

    if (PackageType() == cptFrameTimeout) {
        if (!buffers.TransmitQueue->Out(encoded.Head()))
            return true;
        encoded.SetLength(std::min(encoded.Length(), FPkgSize.load()));
    } else {
        if (!buffers.TransmitQueue->Out(buffers.TransmitRecord.Head()))
            return true;
        _EncodePackage();
    }
    const long accepted = Comm->Write(encoded.Data(), static_cast<long>(encoded.Length()));
    SentCount = static_cast<std::uint32_t>(std::clamp<long>(accepted, 0, encoded.Length()));
    return buffers.TransmitQueue->Count() == 0;
}

void TCommPackage::_EncodePackage()
{
    TBuffers::TRecord& source = Buffers->TransmitRecord;
    TBuffers::TRecord& encoded = Buffers->EncodedRecord;
    const std::uint32_t length = std::min(source.Length(), FPkgSize.load());
    encoded.SetLength(EncodePackage(source.Data(), length, _Marks(), DoubleFrameMark(), encoded.Data()));
}

// ---------------------------------------------------------------------------
// The layer thread: time-out reception

void TCommPackage::_fnTimerThread(TCommPackage* Package)
{
    if (Package)
        Package->_TimerThread();
}

void TCommPackage::_TimerThread()
{
    while (KeepRunning) {
        if (PackageType() == cptFrameTimeout)
            WakeEvent->WaitFor(std::chrono::milliseconds(std::max<std::uint32_t>(FPkgInterval, 1)));
        else
            WakeEvent->Wait();
        if (!KeepRunning)
            break;
        if (PackageType() != cptFrameTimeout || !Active())
            continue;
        if (_ReadTimeoutPackage()) {
            try {
                CallNotify(EV_RXCHAR);
            } catch (...) {
                // A throwing handler must not end the thread (nor the process).
            }
        }
    }
}

// Returns whether a package was closed; it is reported even when the full
// receive queue lost it.
bool TCommPackage::_ReadTimeoutPackage()
{
    std::lock_guard guard(ReceiveLock);
    if (!Active() || PackageType() != cptFrameTimeout)
        return false;
    TBuffers::TRecord& record = Buffers->ReceiveRecord;
    const std::uint32_t limit = FPkgSize;
    bool received = false;
    for (;;) {
        const long got = Comm->Read(ReadChunk, sizeof ReadChunk);
        if (got < 1)
            break;
        received = true;
        const std::uint32_t count = static_cast<std::uint32_t>(std::min<long>(got, sizeof ReadChunk));
        const std::uint32_t taken = std::min(count, limit - Decoder.Length);
        std::memcpy(record.Data() + Decoder.Length, ReadChunk, taken);
        Decoder.Length += taken;
    }
    if (received || Decoder.Length == 0)
        return false;
    record.SetLength(Decoder.Length);
    Buffers->ReceiveQueue->In(record.Head()); // a full queue loses the package
    Decoder.Length = 0;
    return true;
}

} // namespace OrvekComm32
