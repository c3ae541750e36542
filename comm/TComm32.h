#pragma once
// The serial port engine: one object per serial port. It keeps the line
// settings while the port is closed, opens the port with them, runs a read,
// a write and a timer thread while it is open, moves bytes between the port
// and two byte queues, and reports line events through its three events.
//
// Threads: Open, Close, the setters and the purges are called on the
// owner's thread only. Read by one thread at a time, the owner's or the
// package layer's: the layer reads from a notify handler on the read thread
// (head/tail reception) and from its own thread (time-out reception), one
// of them at a time (its ReceiveLock), and only while it is active, so the
// owner reads the engine only while no package layer on it is active. A
// build with assertions checks that no two Reads overlap. Write and Command
// may be called on any thread, also beside each other: each call puts the
// bytes it accepts into OutQueue as one run (the queue's lock), so callers
// never tear each other's runs, but the runs of two callers interleave in
// no promised order; the package layer makes its calls one at a time (its
// SendLock), from the owner's thread or a notify handler on the read
// thread. OnCommNotify fires on the read thread and the timer
// thread (possibly at the same time) and on the owner's thread inside Open
// and Close; OnAfterOpen and OnBeforeClose fire on the owner's thread. A
// handler running on the read or timer thread must not call Close or a
// setter that closes. The destructor waits for every worker thread to end,
// also one that Close gave up on. A derived engine closes in its own
// destructor: the threads call the virtual members until Close returns, and
// by the time this destructor closes, the derived part is gone.
//
// EV_TXEMPTY reaches the owner only once every byte Write accepted has been
// handed to the driver (while CTS holds output back, the driver's own
// transmit-empty is passed on as it comes).
//
// A port that goes away while open (unplugged, hung up) is reported once,
// as EV_PORTLOST, after the bytes received before it; the read thread then
// ends, and the port stays Active until the owner closes it, which releases
// the device at once (a re-plugged adapter gets its old name back).
//
// Under input flow control (XON/XOFF input, RTS or DTR handshake) a full
// InQueue leaves received bytes in the driver instead of dropping them, and
// the next Read that makes room takes them in; without it, what does not
// fit is dropped.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "CommTypes.h"
#include "EComm32Error.h"
#include "Exception.h"
#include "TCommQueue.h"
#include "TEvent.h"
#include "TObject.h"
#include "ThreadCheck.h"

namespace OrvekComm32 {

namespace Platform {
class TSerialPort;
class TCommEvent;
struct TSystemReason;
} // namespace Platform

class TComm32 : public TObject {
public:
    enum TFlowControl : int { fcNone = 0, fcRtsCts = 3, fcXonXoff = 4, fcTranXonXoff = 5, fcRtsCtsXonXoff = 6 };

    static constexpr const char* Fmt_COMn = "\\\\.\\COM%d";
    static constexpr const char* Fmt_InitModem = "ATE0&K%dS0=%d\r";
    static constexpr const char* Str_ResetModem = "ATZ\r";

    TComm32();
    ~TComm32() override;

    // Sets PortNo and names its device in DeviceName (Fmt_COMn): the one
    // place a port number becomes a device name.
    void UsePortNo(int Value);
    // Opens `Path` at the next Open instead of the device of PortNo: a
    // device that no port name carries, such as a stable
    // /dev/serial/by-id/... link. UsePortNo goes back to the port number.
    void UseDevicePath(std::string Path);

    virtual long Read(void* Buf, long Size);
    virtual long Write(const void* Buf, long Size);
    virtual long Command(const char* Cmd);
    virtual void PurgeRead(bool Abort);
    virtual void PurgeWrite(bool Abort);
    virtual long ResetModem();
    virtual long InitModem();
    virtual bool EscapeCommFunction(unsigned long Func);
    virtual void Open();
    virtual void Close();
    virtual void CommNotify(int NotifyType);
    virtual void CommAfterOpen();
    virtual void CommBeforeClose();
    virtual void fmsgCommTimer();

    TFlowControl fGetFCtrl() const;
    void fSetFCtrl(TFlowControl value);
    bool fGetDTR() const;
    void fSetDTR(bool value);
    bool fGetRTS() const;
    void fSetRTS(bool value);

    // Why the open port went away (code ecPortLost with the system's
    // reason), once EV_PORTLOST has been reported; empty before that and
    // after the next Open. Any thread.
    std::optional<EComm32Error> PortLoss() const;

    // Settings and state. Line settings, the port number and the driver
    // buffer sizes are written by the owner while the port is closed and
    // take effect at the next Open.
    OrvekComm32::DCB DCB;
    std::atomic<bool> Active{false};
    std::atomic<bool> DisableWrite{false};
    bool DTR = true;
    bool RTS = true;
    int PortNo = 2;
    char DeviceName[32];
    std::string DevicePath;  // set by UseDevicePath; empty: DeviceName's device
    long HwInSize = 1200;
    long HwOutSize = 1200;
    std::uint8_t AutoAnswer = 0;
    std::unique_ptr<TCommQueue> InQueue;
    std::unique_ptr<TCommQueue> OutQueue;

    TCommNotifyEvent OnCommNotify;
    TNotifyEvent OnAfterOpen;
    TNotifyEvent OnBeforeClose;

    std::atomic<std::uint32_t> ModemStatus{0};
    std::uint32_t TimerInterval = 200;
    std::uint32_t RingInterval = 15;
    std::atomic<std::uint32_t> RingCounter{0};

protected:
    // Opens DeviceName on this system. A test overrides it to put a fake
    // port under the engine.
    virtual std::shared_ptr<Platform::TSerialPort> OpenPort(Platform::TSystemReason& failure);

private:
    // One worker thread's flags. Each Open makes fresh ones, shared with the
    // thread it starts, so that a thread left over from a Close that timed
    // out never takes the run flag of a later Open for its own.
    struct TWorker {
        std::atomic<bool> Run{false};
        std::atomic<bool> Alive{false};
    };
    struct TThreadContext;
    // The chunk the write thread took from OutQueue, kept with the engine
    // so that neither Close nor a hang-up drops it: the next write thread
    // finishes it first. One write thread at a time uses it. It changes
    // Count and Written under Lock, and the read thread reads them under
    // Lock with OutQueue's count: bytes taken from the queue but not yet
    // written still hold back a transmit-empty.
    struct TChunk {
        char Bytes[256];
        long Count = 0;     // bytes in the chunk
        long Written = 0;   // bytes of it written
        std::mutex Lock;
    };

    static void _ReadThread(void* context);
    static void _WriteThread(void* context);
    static void _TimerThread(void* context);
    bool _ReadPass(TThreadContext& context, char* transfer);
    bool _ReceiveWaitingBytes(Platform::TSerialPort& port, char* transfer);
    bool _InputFlowControl() const;
    bool _HoldInput(Platform::TSerialPort& port);
    void _ResumeInput();
    void _ReportLoss(const Platform::TSerialPort& port);
    bool _StartWorker(std::shared_ptr<TWorker>& worker, void (*procedure)(void*),
                      std::shared_ptr<Platform::TCommEvent> stop, bool highestPriority);
    bool _CurrentWorkerAlive() const;
    void _KeepStrayWorkers();
    void _SignalWriteRequest();
    bool _CtsAllowsOutput() const;
    bool _OutputPending(TChunk& chunk) const;

    // The open port; empty while closed. The timer thread reads it beside
    // the owner, hence the atomic holder.
    std::atomic<std::shared_ptr<Platform::TSerialPort>> Handle;
    std::shared_ptr<TWorker> ReadWorker, WriteWorker, TimerWorker;
    // Workers of earlier opens that had not ended when their Close gave up
    // waiting; the destructor waits for them.
    std::vector<std::shared_ptr<TWorker>> StrayWorkers;
    std::shared_ptr<TChunk> Chunk = std::make_shared<TChunk>();
    std::shared_ptr<Platform::TCommEvent> ReadStopEvent, WriteStopEvent, TimerStopEvent;
    // Signalled by Write and Command, which the package layer may call on a
    // notifying thread while the owner closes: hence the atomic holder.
    std::atomic<std::shared_ptr<Platform::TCommEvent>> WriteRequestEvent;

    // Under input flow control a full InQueue leaves the bytes in the
    // driver, whose flow control then holds the far end back. InputHeld
    // says that the read thread stopped asking for EV_RXCHAR; the next Read
    // that makes room asks again and sets InputResumed, so that the read
    // thread takes the held bytes at once. InputHoldLock makes the read
    // thread's "full, so hold" and Read's "room, so resume" one step each.
    std::mutex InputHoldLock;
    bool InputHeld = false;
    std::atomic<bool> InputResumed{false};

    // Why the port went away; written once by the read thread before it
    // reports EV_PORTLOST, cleared by Open.
    mutable std::mutex LossLock;
    std::optional<EComm32Error> Loss;

    // Read's one-at-a-time contract, checked where assertions are on.
    TOneAtATime Readers;
};

} // namespace OrvekComm32
