#pragma once
// The package layer: cuts an engine's received byte stream into packages,
// by frame marks (head, tail, control byte) or by silent intervals, and
// frames outgoing packages.
//
// Threads:
// - The owner is the thread that constructs the layer. The constructor, the
//   destructor, the setters (fSetActive ... fSetDblFrameMark) and the
//   purges (which purge the engine, an owner's call there) run there only,
//   one at a time, never inside a package event handler; a build with
//   assertions checks their thread.
// - ReadPackage and WritePackage may run on any thread, beside each other,
//   beside the owner's calls and beside the engine's notifications, also
//   from a package event handler: ReadPackage takes ReadLock (as PurgeRead
//   does), WritePackage SendLock (as PurgeWrite does), so that each package
//   queue has one consumer and one producer at a time, and a resize (which
//   takes every lock) never frees the buffers they use. Two threads reading
//   packages at once each get whole packages, in no promised order between
//   them.
// - fNewCommNotify runs on whatever thread the engine reports on, several
//   at once if the engine does so; the layer's own thread closes time-out
//   packages. Both read the engine only under ReceiveLock, so the engine
//   sees one reader at a time (its own contract), and send only under
//   SendLock.
// - The package event fires on the thread that found the package: the
//   engine's notifying thread for the framed types, the layer thread for
//   cptFrameTimeout, with none of the layer's locks held. A handler may
//   call ReadPackage and WritePackage; it must not call an owner's call: the destructor waits for the notifications in flight and
//   for the layer thread.
// - Readers of the properties (Active() ... PackageInterval()) and the
//   frame bytes may run on any thread.
//
// Locks, each over one side: ReadLock over the receive queue's consumer
// side (ReadPackage, and with ReceiveLock the purge that empties it);
// ReceiveLock over reception, the receive record and the queue's producer
// side; SendLock over WritePackage's slot, the sending step, the encoded
// record and the transmit queue. fSetActive and re-allocation take all
// three. The queues themselves take no lock: their two sides meet only in
// their atomic indices.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "PackageCodec.h"
#include "TCommPackageQueue.h"
#include "TClock.h"
#include "TComm32.h"
#include "TEvent.h"
#include "TObject.h"
#include "ThreadCheck.h"

namespace OrvekComm32 {

struct TPackageBuffers;
class TNotifyGate;
class TWakeEvent;

enum TCommPackageType : std::uint8_t { cptCompatiblePkg = 0, cptFrameHeadTail = 1, cptFrameTimeout = 2 };

// A package record: a 32-bit byte count followed by the data.
struct TCommPackageHead {
    std::uint32_t Length;
    unsigned char Data[1]; // the rest of the record
};
static_assert(offsetof(TCommPackageHead, Data) == sizeof(std::uint32_t));

class TCommPackage : public TObject {
public:
    // Hooks into Comm's notify event; Comm must outlive the layer, and so
    // must Clock, on which the package interval runs. Throws
    // std::system_error when the layer thread cannot be started.
    explicit TCommPackage(TComm32* Comm, TClock& Clock = TClock::System());
    ~TCommPackage() override;

    virtual unsigned long ReadPackage(void* Buf, unsigned long Size);
    virtual unsigned long WritePackage(const void* Buf, unsigned long Len);
    virtual void PurgeRead();
    virtual void PurgeWrite();
    virtual void CallNotify(int NotifyType);

    void fSetActive(bool Value);
    // A queue or package size whose storage would exceed a 32-bit byte
    // count, or that cannot be allocated, is refused: the old size stays.
    void fSetQSize(unsigned long Value);
    void fSetPkgSz(unsigned long Value);
    void fSetPkgType(TCommPackageType Value);
    // An interval of 0 waits 1 ms, so that the layer thread never spins.
    void fSetPkgInterval(unsigned long Milliseconds);
    void fSetDblFrameMark(bool Value);
    void fNewCommNotify(TObject* Sender, int NotifyType);

    bool Active() const;
    bool DoubleFrameMark() const;
    long QueueSize() const;
    unsigned long PackageSize() const;
    TCommPackageType PackageType() const;
    unsigned long PackageInterval() const;

    // Written directly by the frame settings object; they apply from the
    // next chunk parsed or package encoded.
    std::atomic<unsigned char> FrameHead{0xEB};
    std::atomic<unsigned char> FrameTail{0xEE};
    std::atomic<unsigned char> FrameCtrl{0xEC};

    TCommNotifyEvent OnPackage; // (layer, NotifyType)

private:

    static void _fnTimerThread(TCommPackage* Package);
    void _TimerThread();
    bool _ReadTimeoutPackage();
    bool _ReadHeadTailPackage();
    bool _WritePackage();
    bool _SendStep(); // under SendLock
    void _EncodePackage();
    TFrameMarks _Marks() const;
    bool _ResizeBuffers(long QueueSize, std::uint32_t PackageSize);
    static void _QueueReceived(void* Layer, const unsigned char* Package, std::uint32_t Length);

    std::atomic<bool> FActive{false};
    std::atomic<bool> FDblFrameMark{true};
    THeadTailDecoder Decoder;      // in frame, escape and the receive length; under ReceiveLock
    std::uint32_t SentCount = 0;   // under SendLock
    TComm32* const Comm;
    std::shared_ptr<TNotifyGate> Gate; // the engine's way in; holds the saved notify handler
    std::unique_ptr<TPackageBuffers> Buffers; // queues and records; replaced only under both locks
    std::atomic<long> FQSize{16};
    std::atomic<std::uint32_t> FPkgSize{4096};
    std::atomic<TCommPackageType> FPkgType{cptCompatiblePkg};
    std::atomic<std::uint32_t> FPkgInterval{50};
    std::mutex ReadLock;
    std::mutex ReceiveLock;
    std::mutex SendLock;
    const TOwnerThread Owner;
    unsigned char ReadChunk[2048];  // under ReceiveLock
    std::atomic<bool> KeepRunning{true};
    std::unique_ptr<TWakeEvent> WakeEvent;
    std::thread Thread;
};

} // namespace OrvekComm32
