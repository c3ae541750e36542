#include "Tcommpkg.h"

#include <algorithm>
#include <cassert>
#include <chrono>
#include <cstring>
#include <new>

#include "NotifyGate.h"
#include "PackageBuffers.h"
#include "PackageRecord.h"
#include "WakeEvent.h"

namespace OrvekComm32 {

using namespace PackageRecord;

// ---------------------------------------------------------------------------
// TCommPackage: construction and destruction

TCommPackage::TCommPackage(TComm32* Comm, TClock& Clock) : Comm(Comm)
{
    // The flags, sizes and frame bytes start as the member initializers say.
    Buffers = TPackageBuffers::Make(FQSize, FPkgSize);
    if (!Buffers)
        throw std::bad_alloc();
    Decoder.Reset();
    WakeEvent = std::make_unique<TWakeEvent>(Clock);
    // Made before the thread starts, so that nothing after it can fail.
    auto gate = std::make_shared<TNotifyGate>(Bind(this, &TCommPackage::fNewCommNotify), Comm->OnCommNotify.Get());
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
    // The receive queue's one consumer at a time, and the buffers kept
    // from a resize while they are read.
    std::lock_guard guard(ReadLock);
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
    // Filling the slot and the sending step under one hold: the transmit
    // queue's one producer at a time, and the buffers kept from a resize.
    std::lock_guard guard(SendLock);
    TCommPackageQueue& queue = *Buffers->TransmitQueue;
    if (PackageType() == cptCompatiblePkg) {
        if (!queue.In(Buf))
            return 0;
        _SendStep();
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
    _SendStep();
    return taken;
}

void TCommPackage::PurgeRead()
{
    assert(Owner.IsCurrent() && "the package layer's purges run on its owner's thread");
    if (!Active())
        return;
    Comm->PurgeRead(false);
    std::scoped_lock both(ReadLock, ReceiveLock);
    Buffers->ReceiveQueue->Empty();
}

void TCommPackage::PurgeWrite()
{
    assert(Owner.IsCurrent() && "the package layer's purges run on its owner's thread");
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
    assert(Owner.IsCurrent() && "the package layer's setters run on its owner's thread");
    {
        std::scoped_lock all(ReadLock, ReceiveLock, SendLock);
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
    assert(Owner.IsCurrent() && "the package layer's setters run on its owner's thread");
    // Read as the signed count it is, so that a "negative" size gives the
    // smallest queue rather than an enormous one.
    const long count = static_cast<long>(Value);
    if (!TPackageBuffers::Fits(count, PackageSize()))
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
    assert(Owner.IsCurrent() && "the package layer's setters run on its owner's thread");
    if (!TPackageBuffers::Fits(QueueSize(), Value))
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
    assert(Owner.IsCurrent() && "the package layer's setters run on its owner's thread");
    const bool wasActive = Active();
    if (wasActive)
        fSetActive(false);
    FPkgType = Value;
    if (wasActive)
        fSetActive(true);
}

void TCommPackage::fSetPkgInterval(unsigned long Milliseconds)
{
    assert(Owner.IsCurrent() && "the package layer's setters run on its owner's thread");
    FPkgInterval = static_cast<std::uint32_t>(std::min<unsigned long>(Milliseconds, MaxStorage));
    WakeEvent->Signal();
}

void TCommPackage::fSetDblFrameMark(bool Value)
{
    assert(Owner.IsCurrent() && "the package layer's setters run on its owner's thread");
    FDblFrameMark = Value;
}

bool TCommPackage::_ResizeBuffers(long QueueSize, std::uint32_t PackageSize)
{
    auto fresh = TPackageBuffers::Make(QueueSize, PackageSize);
    if (!fresh)
        return false;
    std::scoped_lock all(ReadLock, ReceiveLock, SendLock);
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
    TPackageBuffers& buffers = *static_cast<TCommPackage*>(Layer)->Buffers;
    buffers.ReceiveRecord.SetLength(Length);
    buffers.ReceiveQueue->In(buffers.ReceiveRecord.Head()); // a full queue loses the package
}

// Returns whether the transmit queue is empty afterwards.
bool TCommPackage::_WritePackage()
{
    std::lock_guard guard(SendLock);
    return _SendStep();
}

bool TCommPackage::_SendStep()
{
    TPackageBuffers& buffers = *Buffers;
    TPackageBuffers::TRecord& encoded = buffers.EncodedRecord;

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
    TPackageBuffers::TRecord& source = Buffers->TransmitRecord;
    TPackageBuffers::TRecord& encoded = Buffers->EncodedRecord;
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
    TPackageBuffers::TRecord& record = Buffers->ReceiveRecord;
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
