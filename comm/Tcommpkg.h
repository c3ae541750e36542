#pragma once
// The package layer: cuts an engine's received byte stream into packages,
// by frame marks (head, tail, control byte) or by silent intervals, and
// frames outgoing packages.
//
// Threads: ReadPackage, WritePackage, the purges and the setters run on the
// owner's thread. fNewCommNotify runs on whatever thread the engine reports
// on. The layer's own thread closes time-out packages. The package event
// fires on the thread that found the package: the engine's notifying thread
// for framed types, the layer thread for cptFrameTimeout.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "TComm32.h"
#include "TEvent.h"
#include "TObject.h"

namespace OrvekComm32 {

enum TCommPackageType : std::uint8_t { cptCompatiblePkg = 0, cptFrameHeadTail = 1, cptFrameTimeout = 2 };

// A package record: a 32-bit byte count followed by the data.
struct TCommPackageHead {
    std::uint32_t Length;
    unsigned char Data[1]; // the rest of the record
};

class TCommPackageQueue {
public:
    TCommPackageQueue(unsigned long Count, unsigned long SlotSize);
    virtual ~TCommPackageQueue();
    TCommPackageQueue(const TCommPackageQueue&) = delete;
    TCommPackageQueue& operator=(const TCommPackageQueue&) = delete;

    void SetQueue(long Count, long SlotSize);
    bool In(const void* Record);
    bool Out(void* Record);
    bool Read(void* Record, unsigned long Index);
    void fRemoveQueue();
    void Empty();

    std::uint32_t Capacity() const;
    std::uint32_t SlotSize() const;
    std::uint32_t Count() const;
};

class TCommPackage : public TObject {
public:
    explicit TCommPackage(TComm32* Comm);
    ~TCommPackage() override;

    virtual unsigned long ReadPackage(void* Buf, unsigned long Size);
    virtual unsigned long WritePackage(const void* Buf, unsigned long Len);
    virtual void PurgeRead();
    virtual void PurgeWrite();
    virtual void CallNotify(int NotifyType);

    void fSetActive(bool Value);
    void fSetQSize(unsigned long Value);
    void fSetPkgSz(unsigned long Value);
    void fSetPkgType(TCommPackageType Value);
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
    // next byte parsed or package encoded.
    std::atomic<unsigned char> FrameHead{0xEB};
    std::atomic<unsigned char> FrameTail{0xEE};
    std::atomic<unsigned char> FrameCtrl{0xEC};

    TCommNotifyEvent OnPackage; // (layer, NotifyType)
};

} // namespace OrvekComm32
