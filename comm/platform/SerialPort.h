#pragma once
// The operating system's side of a serial port, as the engine uses it: one
// call for each serial call the engine's algorithms name. The engine's
// threads share one port object; a test replaces it with a fake port.
//
// Threads: WaitCommEvent, ClearCommError, ReadFile and Loss are called by
// the read thread only, WriteFile, OutputQueueEmpty and ReportTransmitEmpty
// by the write thread only, GetCommModemStatus by the read and timer threads
// and the owner; SetCommMask by the owner, the read thread and whichever
// thread reads the engine's receive queue (it ends a wait, as on Win32);
// EscapeCommFunction and PurgeComm by the owner. SetupComm and SetCommState
// are called by the owner before any thread starts.

#include <cstdint>
#include <memory>
#include <string>

#include "SystemReason.h"

namespace OrvekComm32 {
struct DCB;
}

namespace OrvekComm32::Platform {

class TCommEvent;


// Purge flags, as the engine passes them.
constexpr std::uint32_t PURGE_TXABORT = 0x0001, PURGE_RXABORT = 0x0002, PURGE_TXCLEAR = 0x0004,
                        PURGE_RXCLEAR = 0x0008;

class TSerialPort {
public:
    // Gone: the device went away (hung up, unplugged, its node removed);
    // no later call on this port succeeds, and Loss tells why.
    enum class TWaitResult { Event, Stopped, Failed, Gone };
    enum class TWriteResult { Done, Stopped, Failed };

    virtual ~TSerialPort() = default;

    // Sets the events a wait reports; a wait in progress ends with mask 0.
    virtual bool SetCommMask(std::uint32_t mask) = 0;
    virtual bool SetupComm(long inSize, long outSize) = 0;
    virtual bool SetCommState(const OrvekComm32::DCB& dcb) = 0;

    // Waits for one of the mask's events and returns them in `events`
    // (Event, possibly with 0 when the mask was changed meanwhile); Stopped
    // when `stop` was set first; Gone when the device went away, after the
    // bytes it still holds have been reported; Failed when the wait failed
    // otherwise. Only the mask's events end a wait: received bytes waiting
    // while EV_RXCHAR is not in the mask do not.
    virtual TWaitResult WaitCommEvent(std::uint32_t& events, const TCommEvent& stop) = 0;
    // Why the port is gone, once a wait returned Gone.
    virtual TSystemReason Loss() const = 0;
    // Clears the port's error state; false when the port cannot tell. On
    // success `bytesWaiting` is the number of received bytes in the driver.
    virtual bool ClearCommError(long& bytesWaiting) = 0;
    // Reads up to `size` waiting bytes without waiting; -1 on failure.
    virtual long ReadFile(char* buffer, long size) = 0;
    // Writes all `size` bytes, waiting for room as long as `stop` is not
    // set; `written` tells how many left in any case.
    virtual TWriteResult WriteFile(const char* data, long size, const TCommEvent& stop, long& written) = 0;
    // True when the driver says it holds no unsent bytes; false when it
    // holds some or cannot tell.
    virtual bool OutputQueueEmpty() = 0;
    // Makes a wait report EV_TXEMPTY once, when the driver's output queue
    // has drained (at once if it is empty).
    virtual void ReportTransmitEmpty() = 0;

    // The modem status word (MS_CTS_ON, MS_DSR_ON, MS_RING_ON, MS_RLSD_ON).
    virtual bool GetCommModemStatus(std::uint32_t& status) = 0;
    virtual bool EscapeCommFunction(unsigned long function) = 0;
    virtual bool PurgeComm(std::uint32_t flags) = 0;
};

// Opens the device of a port name ("\\.\COMn") for reading and writing,
// exclusively: a second open of the same device fails. Null on failure.
std::shared_ptr<TSerialPort> OpenSerialPort(const char* deviceName, TSystemReason& failure);

} // namespace OrvekComm32::Platform
