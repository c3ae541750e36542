#pragma once
// The serial port engine: one object per serial port. It keeps the line
// settings while the port is closed, opens the port with them, runs a read,
// a write and a timer thread while it is open, moves bytes between the port
// and two byte queues, and reports line events through its three events.
//
// Threads: Open, Close, the setters, the purges and Read are called on the
// owner's thread only; Write and Command on the owner's thread or inside a
// notify handler, one caller at a time. OnCommNotify fires on the read
// thread and the timer thread (possibly at the same time) and on the owner's
// thread inside Open and Close; OnAfterOpen and OnBeforeClose fire on the
// owner's thread. A handler running on the read or timer thread must not
// call Close or a setter that closes. The destructor waits for every worker
// thread to end, also one that Close gave up on.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Exception.h"
#include "TCommQueue.h"
#include "TEvent.h"
#include "TObject.h"

namespace OrvekComm32 {

// The line settings record, with the field names and layout of the device
// control block the engine was designed around (28 bytes).
struct DCB {
    std::uint32_t DCBlength;
    std::uint32_t BaudRate;
    std::uint32_t fBinary : 1;
    std::uint32_t fParity : 1;
    std::uint32_t fOutxCtsFlow : 1;
    std::uint32_t fOutxDsrFlow : 1;
    std::uint32_t fDtrControl : 2;
    std::uint32_t fDsrSensitivity : 1;
    std::uint32_t fTXContinueOnXoff : 1;
    std::uint32_t fOutX : 1;
    std::uint32_t fInX : 1;
    std::uint32_t fErrorChar : 1;
    std::uint32_t fNull : 1;
    std::uint32_t fRtsControl : 2;
    std::uint32_t fAbortOnError : 1;
    std::uint32_t fDummy2 : 17;
    std::uint16_t wReserved;
    std::uint16_t XonLim;
    std::uint16_t XoffLim;
    std::uint8_t ByteSize;
    std::uint8_t Parity;
    std::uint8_t StopBits;
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    std::uint16_t wReserved1;
};
static_assert(sizeof(DCB) == 28);

// fDtrControl / fRtsControl values
constexpr unsigned DTR_CONTROL_DISABLE = 0, DTR_CONTROL_ENABLE = 1, DTR_CONTROL_HANDSHAKE = 2;
constexpr unsigned RTS_CONTROL_DISABLE = 0, RTS_CONTROL_ENABLE = 1, RTS_CONTROL_HANDSHAKE = 2,
                   RTS_CONTROL_TOGGLE = 3;

// Event mask bits, as reported in NotifyType.
constexpr int EV_RXCHAR = 0x0001, EV_RXFLAG = 0x0002, EV_TXEMPTY = 0x0004, EV_CTS = 0x0008,
              EV_DSR = 0x0010, EV_RLSD = 0x0020, EV_ERR = 0x0080, EV_RING = 0x0100,
              EV_RX80FULL = 0x0400;

// Modem status word bits.
constexpr std::uint32_t MS_CTS_ON = 0x10, MS_DSR_ON = 0x20, MS_RING_ON = 0x40, MS_RLSD_ON = 0x80;

// EscapeCommFunction functions.
constexpr unsigned long SETXOFF = 1, SETXON = 2, SETRTS = 3, CLRRTS = 4, SETDTR = 5, CLRDTR = 6,
                        SETBREAK = 8, CLRBREAK = 9;

class EComm32Error : public Exception {
public:
    enum TErrorCode : std::uint8_t {
        ecNone = 0,
        ecOutOfMemory = 1,
        ecReadBuffer = 2,
        ecWriteBuffer = 3,
        ecOpenPort = 4,
        ecSetCommMask = 5,
        ecSetupComm = 6,
        ecGetCommState = 7,
        ecSetCommState = 8,
        ecReadEvent = 9,
        ecWriteEvent = 10,
        ecReadThread = 11,
        ecWriteThread = 12,
        ecCloseReadThread = 13,
        ecCloseWriteThread = 14,
    };

    // The message is the code's text in the process language.
    explicit EComm32Error(TErrorCode code);
    // The same, keeping the system's reason beside it (errno and a text
    // such as "/dev/ttyS0: Permission denied").
    EComm32Error(TErrorCode code, int osError, std::string osReason);

    TErrorCode ErrorCode;
    int OsError = 0;          // errno of the failing system call, 0 if none
    std::string OsReason;     // device path and system text, empty if none
};

namespace Platform {
class TSerialPort;
class TCommEvent;
struct TOpenFailure;
} // namespace Platform

class TComm32 : public TObject {
public:
    enum TFlowControl : int { fcNone = 0, fcRtsCts = 3, fcXonXoff = 4, fcTranXonXoff = 5, fcRtsCtsXonXoff = 6 };

    static constexpr const char* Fmt_COMn = "\\\\.\\COM%d";
    static constexpr const char* Fmt_InitModem = "ATE0&K%dS0=%d\r";
    static constexpr const char* Str_ResetModem = "ATZ\r";

    TComm32();
    ~TComm32() override;

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
    virtual std::shared_ptr<Platform::TSerialPort> OpenPort(Platform::TOpenFailure& failure);

private:
    // One worker thread's flags. Each Open makes fresh ones, shared with the
    // thread it starts, so that a thread left over from a Close that timed
    // out never takes the run flag of a later Open for its own.
    struct TWorker {
        std::atomic<bool> Run{false};
        std::atomic<bool> Alive{false};
    };
    struct TThreadContext;

    static void _ReadThread(void* context);
    static void _WriteThread(void* context);
    static void _TimerThread(void* context);
    bool _ReadPass(Platform::TSerialPort& port, const Platform::TCommEvent& stop, char* transfer, const TWorker& worker);
    void _ReceiveWaitingBytes(Platform::TSerialPort& port, char* transfer);
    bool _StartWorker(std::shared_ptr<TWorker>& worker, void (*procedure)(void*),
                      std::shared_ptr<Platform::TCommEvent> stop, bool highestPriority);
    bool _CurrentWorkerAlive() const;
    void _KeepStrayWorkers();
    void _SignalWriteRequest();

    // The open port; empty while closed. The timer thread reads it beside
    // the owner, hence the atomic holder.
    std::atomic<std::shared_ptr<Platform::TSerialPort>> Handle;
    std::shared_ptr<TWorker> ReadWorker, WriteWorker, TimerWorker;
    // Workers of earlier opens that had not ended when their Close gave up
    // waiting; the destructor waits for them.
    std::vector<std::shared_ptr<TWorker>> StrayWorkers;
    std::shared_ptr<Platform::TCommEvent> ReadStopEvent, WriteStopEvent, TimerStopEvent;
    // Signalled by Write and Command, which the package layer may call on a
    // notifying thread while the owner closes: hence the atomic holder.
    std::atomic<std::shared_ptr<Platform::TCommEvent>> WriteRequestEvent;
};

} // namespace OrvekComm32
