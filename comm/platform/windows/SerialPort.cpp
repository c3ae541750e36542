// The engine's serial calls on Win32's own: a port opened for overlapped
// I/O, one overlapped record for each kind of call that may be pending (the
// read thread's event wait and reads, the write thread's writes), events
// and waits on them.
//
// Two things the engine expects go beyond a plain WaitCommEvent:
// - Received bytes that wait in the driver while EV_RXCHAR is asked for end
//   a wait at once, as they do on Linux. Win32 reports EV_RXCHAR only when
//   a byte arrives, so after input was held (EV_RXCHAR left out of the
//   mask) the held bytes would otherwise wait for the next byte to come.
// - EV_TXEMPTY is made here, from the output queue the driver reports,
//   once for each ReportTransmitEmpty, and never asked of the driver: its
//   own report would come beside this one, and Wine's comes only for a
//   write that was still pending when the wait began.
// - A mask change ends a wait also when it comes just before the wait
//   reached the system: the engine changes the mask from whichever thread
//   reads its receive queue, at any moment.
#include "SerialPort.h"

#include "CommEvent.h"
#include "CommTypes.h"
#include "PortNames.h"
#include "SystemDcb.h"

#include <atomic>

// After the library's headers: <windows.h> defines the same names (EV_RXCHAR,
// MS_CTS_ON, PURGE_RXCLEAR, ...) as macros of the same values.
#include <windows.h>

#include "EventHandle.h"
#include "SystemText.h"

namespace OrvekComm32::Platform {
namespace {

// How often a wait looks at the driver's output queue while a transmit-empty
// is due and the queue still holds bytes.
constexpr DWORD DrainPollMs = 20;
// How long the destructor lets an operation that it ended complete.
constexpr DWORD EndWaitMs = 2000;

// Errors with which Windows drivers (and Wine) refuse every call once the
// device is gone: unplugged, or a hung-up line.
bool IsGoneError(DWORD error)
{
    switch (error) {
    case ERROR_ACCESS_DENIED:        // USB serial drivers after a removal
    case ERROR_BAD_COMMAND:          // the same, for some drivers
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_GEN_FAILURE:
    case ERROR_NOT_READY:            // Wine after a hang-up
    case ERROR_BROKEN_PIPE:          // Wine's reads after a hang-up
    case ERROR_OPERATION_ABORTED:    // a pending call ended by the removal
    case ERROR_INVALID_HANDLE:
        return true;
    default:
        return false;
    }
}

class TOverlapped {
public:
    TOverlapped() { Record.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr); }
    ~TOverlapped()
    {
        if (Record.hEvent)
            CloseHandle(Record.hEvent);
    }
    TOverlapped(const TOverlapped&) = delete;
    TOverlapped& operator=(const TOverlapped&) = delete;

    bool Valid() const { return Record.hEvent != nullptr; }
    // A fresh record for the next call, its event unsignalled.
    OVERLAPPED* Start()
    {
        HANDLE event = Record.hEvent;
        Record = OVERLAPPED{};
        Record.hEvent = event;
        ResetEvent(event);
        return &Record;
    }
    OVERLAPPED* Get() { return &Record; }
    HANDLE Event() const { return Record.hEvent; }

private:
    OVERLAPPED Record{};
};

class TWindowsSerialPort final : public TSerialPort {
public:
    TWindowsSerialPort(HANDLE port, std::string device) : Port(port), Device(std::move(device)) {}

    ~TWindowsSerialPort() override
    {
        // A pending call writes into its record when it ends, so each one
        // is ended and waited for before the records go. A mask change ends
        // a pending event wait (Wine cancels none of them otherwise).
        if (WaitPending)
            ::SetCommMask(Port, 0);
        if (WritePending)
            CancelIoEx(Port, Writing.Get());
        ::CloseHandle(Port);
        if (WaitPending)
            WaitForSingleObject(Waiting.Event(), EndWaitMs);
        if (WritePending)
            WaitForSingleObject(Writing.Event(), EndWaitMs);
    }

    bool Ready() const { return Waiting.Valid() && Reading.Valid() && Writing.Valid(); }

    bool SetCommMask(std::uint32_t mask) override
    {
        Mask.store(mask, std::memory_order_relaxed);
        const bool set = ::SetCommMask(Port, mask & ~static_cast<std::uint32_t>(EV_TXEMPTY));
        const DWORD error = GetLastError();
        // A wait that has not yet reached the system sees the change too.
        MaskChanges.fetch_add(1, std::memory_order_release);
        Wake.Set();
        SetLastError(error);
        return set;
    }

    bool SetupComm(long inSize, long outSize) override
    {
        if (inSize < 0 || outSize < 0) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return false;
        }
        return ::SetupComm(Port, static_cast<DWORD>(inSize), static_cast<DWORD>(outSize));
    }

    bool SetCommState(const OrvekComm32::DCB& dcb) override
    {
        ::DCB wanted{};
        ToSystemDcb(dcb, wanted);
        if (!::SetCommState(Port, &wanted))
            return false;
        // A driver that silently took another rate says so when asked.
        ::DCB taken{};
        taken.DCBlength = sizeof taken;
        if (::GetCommState(Port, &taken) && taken.BaudRate != wanted.BaudRate) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return false;
        }
        return true;
    }

    TWaitResult WaitCommEvent(std::uint32_t& events, const TCommEvent& stop) override
    {
        events = 0;
        const auto changesAtStart = MaskChanges.load(std::memory_order_acquire);
        for (;;) {
            Wake.Reset();  // before looking, so that a later Set is not lost
            if (MaskChanges.load(std::memory_order_acquire) != changesAtStart)
                return TWaitResult::Event;
            bool known = true;
            events = PendingEvents(known);
            if (events)
                return TWaitResult::Event;
            if (!known)
                return Failure(GetLastError());
            if (!WaitPending) {
                SystemEvents = 0;
                if (::WaitCommEvent(Port, &SystemEvents, Waiting.Start())) {
                    events = SystemEvents & Mask.load(std::memory_order_relaxed);
                    return TWaitResult::Event;
                }
                const DWORD error = GetLastError();
                if (error != ERROR_IO_PENDING)
                    return Failure(error);
                WaitPending = true;
            }
            const HANDLE handles[3] = {EventHandle(stop), Waiting.Event(), EventHandle(Wake)};
            const DWORD timeout = TransmitPending.load(std::memory_order_acquire) ? DrainPollMs : INFINITE;
            const DWORD ready = WaitForMultipleObjects(3, handles, FALSE, timeout);
            if (ready == WAIT_OBJECT_0)
                return TWaitResult::Stopped;  // the wait stays pending; a mask change or the close ends it
            if (ready == WAIT_OBJECT_0 + 1) {
                DWORD unused;
                WaitPending = false;
                if (!GetOverlappedResult(Port, Waiting.Get(), &unused, FALSE))
                    return Failure(GetLastError());
                // 0 when a mask change ended the wait.
                events = SystemEvents & Mask.load(std::memory_order_relaxed);
                if (events)
                    return TWaitResult::Event;
                continue;  // a change of the mask is seen above
            }
            if (ready == WAIT_FAILED)
                return Failure(GetLastError());
            // The wake event or the drain poll: look again.
        }
    }

    TSystemReason Loss() const override
    {
        return {static_cast<int>(LostError), Device + ": the device is gone or hung up (" + SystemErrorText(LostError) + ")"};
    }

    bool ClearCommError(long& bytesWaiting) override
    {
        DWORD errors = 0;
        COMSTAT status{};
        if (!::ClearCommError(Port, &errors, &status))
            return false;
        bytesWaiting = static_cast<long>(status.cbInQue);
        return true;
    }

    long ReadFile(char* buffer, long size) override
    {
        DWORD got = 0;
        if (!::ReadFile(Port, buffer, static_cast<DWORD>(size), &got, Reading.Start())) {
            // The port's time-outs make every read return at once with what
            // is there, so a pending read completes without waiting long.
            if (GetLastError() != ERROR_IO_PENDING || !GetOverlappedResult(Port, Reading.Get(), &got, TRUE))
                return -1;
        }
        return got > 0 ? static_cast<long>(got) : -1;
    }

    TWriteResult WriteFile(const char* data, long size, const TCommEvent& stop, long& written) override
    {
        written = 0;
        DWORD put = 0;
        if (WritePending && !FinishStoppedWrite())
            return TWriteResult::Failed;
        if (::WriteFile(Port, data, static_cast<DWORD>(size), &put, Writing.Start())) {
            written = static_cast<long>(put);
            return written == size ? TWriteResult::Done : TWriteResult::Failed;
        }
        if (GetLastError() != ERROR_IO_PENDING)
            return TWriteResult::Failed;
        const HANDLE handles[2] = {EventHandle(stop), Writing.Event()};
        if (WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0) {
            // What left before the cancel counts; a write the system does
            // not cancel stays pending, and its record with it.
            CancelIoEx(Port, Writing.Get());
            if (WaitForSingleObject(Writing.Event(), 0) == WAIT_OBJECT_0) {
                GetOverlappedResult(Port, Writing.Get(), &put, FALSE);
                written = static_cast<long>(put);
            } else {
                WritePending = true;
            }
            return TWriteResult::Stopped;
        }
        const bool done = GetOverlappedResult(Port, Writing.Get(), &put, FALSE);
        written = static_cast<long>(put);
        return done && written == size ? TWriteResult::Done : TWriteResult::Failed;
    }

    bool OutputQueueEmpty() override
    {
        DWORD errors = 0;
        COMSTAT status{};
        return ::ClearCommError(Port, &errors, &status) && status.cbOutQue == 0;
    }

    void ReportTransmitEmpty() override
    {
        TransmitPending.store(true, std::memory_order_release);
        Wake.Set();
    }

    bool GetCommModemStatus(std::uint32_t& status) override
    {
        DWORD lines = 0;
        if (!::GetCommModemStatus(Port, &lines))
            return false;
        status = lines & (MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON);
        return true;
    }

    bool EscapeCommFunction(unsigned long function) override
    {
        return ::EscapeCommFunction(Port, function);
    }

    bool PurgeComm(std::uint32_t flags) override
    {
        return ::PurgeComm(Port, flags);
    }

private:
    // The events of the mask that the port shows now: bytes waiting, and a
    // transmit-empty that is due once the driver's output queue is empty.
    // `known` false when the driver could not be asked.
    std::uint32_t PendingEvents(bool& known)
    {
        const std::uint32_t mask = Mask.load(std::memory_order_relaxed);
        const bool transmit = (mask & EV_TXEMPTY) && TransmitPending.load(std::memory_order_acquire);
        if (!(mask & EV_RXCHAR) && !transmit)
            return 0;
        DWORD errors = 0;
        COMSTAT status{};
        known = ::ClearCommError(Port, &errors, &status);
        if (!known)
            return 0;
        std::uint32_t events = 0;
        if ((mask & EV_RXCHAR) && status.cbInQue > 0)
            events |= EV_RXCHAR;
        if (transmit && status.cbOutQue == 0) {
            TransmitPending.store(false, std::memory_order_relaxed);
            events |= EV_TXEMPTY;
        }
        return events;
    }

    // A failed call: Gone when the error is one of a gone device and the
    // driver confirms it by refusing to report its state as well.
    TWaitResult Failure(DWORD error)
    {
        if (!IsGoneError(error))
            return TWaitResult::Failed;
        DWORD errors = 0;
        COMSTAT status{};
        if (::ClearCommError(Port, &errors, &status))
            return TWaitResult::Failed;
        LostError = error;
        return TWaitResult::Gone;
    }

    // The write that a stop left pending must end before its record is used
    // again.
    bool FinishStoppedWrite()
    {
        if (WaitForSingleObject(Writing.Event(), EndWaitMs) != WAIT_OBJECT_0)
            return false;
        WritePending = false;
        return true;
    }

    const HANDLE Port;
    const std::string Device;

    std::atomic<std::uint32_t> Mask{0};
    std::atomic<std::uint32_t> MaskChanges{0};
    TCommEvent Wake;  // ends a wait: a mask change or a finished write
    std::atomic<bool> TransmitPending{false};

    // The read thread's own.
    TOverlapped Waiting, Reading;
    DWORD SystemEvents = 0;  // filled in by the system when the wait ends
    bool WaitPending = false;
    DWORD LostError = 0;
    // The write thread's own.
    TOverlapped Writing;
    bool WritePending = false;
};

// Reads return at once with the bytes that are there (the engine asks only
// for as many as the driver reports waiting); writes have no time limit,
// as a stop ends them.
bool SetImmediateReads(HANDLE port)
{
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    return SetCommTimeouts(port, &timeouts);
}

TSystemReason ReasonOf(const std::string& subject, DWORD error)
{
    return {static_cast<int>(error), subject + ": " + SystemErrorText(error)};
}

} // namespace

std::shared_ptr<TSerialPort> OpenSerialPort(const char* deviceName, TSystemReason& failure)
{
    const std::string path = ResolveDevicePath(deviceName);
    if (path.empty()) {
        failure = {ERROR_FILE_NOT_FOUND, std::string(deviceName) + ": " + SystemErrorText(ERROR_FILE_NOT_FOUND) +
                                             " (no such port)"};
        return nullptr;
    }
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        failure = ReasonOf(path, GetLastError());
        return nullptr;
    }
    if (!SetImmediateReads(handle)) {
        failure = ReasonOf(path, GetLastError());
        CloseHandle(handle);
        return nullptr;
    }
    auto port = std::make_shared<TWindowsSerialPort>(handle, path);
    if (!port->Ready()) {
        failure = ReasonOf(path, ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return port;
}

} // namespace OrvekComm32::Platform
