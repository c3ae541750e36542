#include "SerialPort.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "CommEvent.h"
#include "LineSettings.h"
#include "PollRetrying.h"
#include "PortNames.h"
#include "CommTypes.h"

namespace OrvekComm32::Platform {
namespace {

// About the longest a close waits for output that still drains before it
// discards the rest.
constexpr int CloseDrainMs = 100;

// The device itself, not the link a user or a test put in the link
// directory.
std::string DeviceOf(const std::string& path)
{
    char device[PATH_MAX];
    return ::realpath(path.c_str(), device) ? device : path;
}


std::uint32_t ModemStatusOfLines(int lines)
{
    std::uint32_t status = 0;
    if (lines & TIOCM_CTS) status |= MS_CTS_ON;
    if (lines & TIOCM_DSR) status |= MS_DSR_ON;
    if (lines & TIOCM_RNG) status |= MS_RING_ON;
    if (lines & TIOCM_CAR) status |= MS_RLSD_ON;
    return status;
}

int ErrorCount(const serial_icounter_struct& counts)
{
    return counts.frame + counts.overrun + counts.parity + counts.buf_overrun;
}

class TLinuxSerialPort final : public TSerialPort {
public:
    TLinuxSerialPort(int descriptor, std::string device) : Fd(descriptor), Device(std::move(device))
    {
        int lines;
        HasModemLines = ioctl(Fd, TIOCMGET, &lines) == 0;
        if (HasModemLines)
            LastLines = lines;
        HasErrorCounters = ioctl(Fd, TIOCGICOUNT, &LastCounts) == 0;
    }

    ~TLinuxSerialPort() override
    {
        DiscardHeldOutput();
        ioctl(Fd, TIOCNXCL);  // the flag outlives this descriptor otherwise
        ::close(Fd);
    }

    bool SetCommMask(std::uint32_t mask) override
    {
        Mask.store(mask, std::memory_order_relaxed);
        MaskChanges.fetch_add(1, std::memory_order_release);
        Wake.Set();
        if (!Wake.Valid())
            errno = EMFILE;  // the wake event could not be made: out of descriptors
        return Wake.Valid();
    }

    bool SetupComm(long inSize, long outSize) override
    {
        if (inSize < 0 || outSize < 0) {
            errno = EINVAL;
            return false;
        }
        // The input size is kept for the read thread's "nearly full" mark.
        // Linux has no setting for a driver's output buffer: the tty layer's
        // is its own, so outSize is checked and has no other effect.
        InSize.store(inSize, std::memory_order_relaxed);
        return true;
    }

    bool SetCommState(const OrvekComm32::DCB& dcb) override
    {
        if (!ApplyLineSettings(Fd, dcb))
            return false;
        EventChar.store(dcb.EvtChar, std::memory_order_relaxed);
        // Rounded up, so that a drain estimate never ends before the bytes
        // could have left.
        MicrosPerChar.store((BitsPerCharacter(dcb) * 1000000L + dcb.BaudRate - 1) / dcb.BaudRate,
                            std::memory_order_relaxed);
        SetLine(TIOCM_DTR, dcb.fDtrControl != DTR_CONTROL_DISABLE);
        if (dcb.fRtsControl != RTS_CONTROL_HANDSHAKE)
            SetLine(TIOCM_RTS, dcb.fRtsControl != RTS_CONTROL_DISABLE);
        return true;
    }

    TWaitResult WaitCommEvent(std::uint32_t& events, const TCommEvent& stop) override
    {
        events = 0;
        const auto changesAtStart = MaskChanges.load(std::memory_order_acquire);
        bool hungUp = false;  // as the last poll found the port
        for (;;) {
            Wake.Reset();  // before looking, so that a later Set is not lost
            if (MaskChanges.load(std::memory_order_acquire) != changesAtStart)
                return TWaitResult::Event;
            events = PendingEvents();
            if (events)
                return TWaitResult::Event;
            // Bytes still waiting are reported before the loss.
            if (hungUp)
                return TWaitResult::Gone;
            // Without EV_RXCHAR in the mask, waiting bytes must not end the
            // poll at once: the owner holds them in the driver.
            const short input = Mask.load(std::memory_order_relaxed) & (EV_RXCHAR | EV_RX80FULL) ? POLLIN : 0;
            pollfd entries[3] = {{Fd, input, 0}, {Wake.PollDescriptor(), POLLIN, 0}, {stop.PollDescriptor(), POLLIN, 0}};
            if (PollRetrying(entries, 3, WaitTimeoutMs()) < 0)
                return TWaitResult::Failed;
            if (entries[2].revents & POLLIN)
                return TWaitResult::Stopped;
            if (entries[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
                hungUp = IsGone(entries[0].revents);
                if (!hungUp)
                    return TWaitResult::Failed;
            }
        }
    }

    TSystemReason Loss() const override
    {
        return {LostError, Device + ": the device is gone or hung up (" + std::strerror(LostError) + ")"};
    }

    // The count the wait just took serves once: bytes only grow until the
    // read thread itself reads them.
    bool ClearCommError(long& bytesWaiting) override
    {
        if (ReceivedWaiting > 0) {
            bytesWaiting = ReceivedWaiting;
            ReceivedWaiting = -1;
            return true;
        }
        int waiting = 0;
        if (ioctl(Fd, FIONREAD, &waiting) != 0)
            return false;
        bytesWaiting = waiting;
        return true;
    }

    long ReadFile(char* buffer, long size) override
    {
        const ssize_t got = ::read(Fd, buffer, static_cast<std::size_t>(size));
        if (got <= 0)
            return -1;
        if (std::memchr(buffer, EventChar.load(std::memory_order_relaxed), static_cast<std::size_t>(got)))
            EventCharSeen.store(true, std::memory_order_relaxed);
        return static_cast<long>(got);
    }

    TWriteResult WriteFile(const char* data, long size, const TCommEvent& stop, long& written) override
    {
        written = 0;
        while (written < size) {
            const ssize_t put = ::write(Fd, data + written, static_cast<std::size_t>(size - written));
            if (put > 0) {
                written += put;
                continue;
            }
            if (put < 0 && errno != EAGAIN && errno != EINTR)
                break;
            pollfd entries[2] = {{Fd, POLLOUT, 0}, {stop.PollDescriptor(), POLLIN, 0}};
            if (PollRetrying(entries, 2, -1) < 0 || (entries[1].revents & POLLIN))
                break;
            if (entries[0].revents & (POLLERR | POLLHUP | POLLNVAL))
                break;
        }
        if (written == size)
            return TWriteResult::Done;
        return stop.IsSet() ? TWriteResult::Stopped : TWriteResult::Failed;
    }

    bool OutputQueueEmpty() override
    {
        int queued = 0;
        return ioctl(Fd, TIOCOUTQ, &queued) == 0 && queued == 0;
    }

    void ReportTransmitEmpty() override
    {
        TransmitPending.store(true, std::memory_order_release);
        Wake.Set();
    }

    bool GetCommModemStatus(std::uint32_t& status) override
    {
        int lines;
        if (!HasModemLines || ioctl(Fd, TIOCMGET, &lines) != 0)
            return false;
        status = ModemStatusOfLines(lines);
        return true;
    }

    bool EscapeCommFunction(unsigned long function) override
    {
        switch (function) {
        case SETRTS: return SetLine(TIOCM_RTS, true);
        case CLRRTS: return SetLine(TIOCM_RTS, false);
        case SETDTR: return SetLine(TIOCM_DTR, true);
        case CLRDTR: return SetLine(TIOCM_DTR, false);
        case SETXOFF: return tcflow(Fd, TCOOFF) == 0;
        case SETXON: return tcflow(Fd, TCOON) == 0;
        case SETBREAK: return ioctl(Fd, TIOCSBRK) == 0;
        case CLRBREAK: return ioctl(Fd, TIOCCBRK) == 0;
        default: return false;
        }
    }

    bool PurgeComm(std::uint32_t flags) override
    {
        const bool input = flags & (PURGE_RXCLEAR | PURGE_RXABORT);
        const bool output = flags & (PURGE_TXCLEAR | PURGE_TXABORT);
        if (!input && !output)
            return false;
        return tcflush(Fd, input && output ? TCIOFLUSH : input ? TCIFLUSH : TCOFLUSH) == 0;
    }

private:
    // A hang-up, or an error that the device itself confirms: a tty that
    // was hung up or unplugged refuses every request with EIO (ENODEV,
    // ENXIO for some drivers). An error the device does not confirm is
    // a failed wait, tried again later.
    bool IsGone(short revents)
    {
        int waiting = 0;
        if (ioctl(Fd, FIONREAD, &waiting) != 0) {
            LostError = errno;
            return true;
        }
        if (revents & POLLNVAL) {
            LostError = EBADF;
            return true;
        }
        if (revents & POLLHUP) {
            LostError = EIO;
            return true;
        }
        return false;
    }

    // Closing a descriptor whose output the driver holds (XOFF received, CTS
    // low) waits for the driver's closing wait, 30 s by default, and only a
    // privileged process may shorten that wait. Output that drains gets a
    // moment to leave; what is still held then is discarded, so that the
    // close returns at once.
    void DiscardHeldOutput()
    {
        int queued = 0;
        int before = 0;  // 0: first look
        for (int waited = 0; waited < CloseDrainMs && ioctl(Fd, TIOCOUTQ, &queued) == 0 && queued > 0 &&
                             (before == 0 || queued < before);
             before = queued) {
            const int step = DrainWaitMs(before, queued, MicrosPerChar.load(std::memory_order_relaxed));
            ::poll(nullptr, 0, step);
            waited += step;
        }
        if (queued > 0)
            tcflush(Fd, TCOFLUSH);
    }

    bool SetLine(int line, bool on)
    {
        return ioctl(Fd, on ? TIOCMBIS : TIOCMBIC, &line) == 0;
    }

    // The events of the mask that the port shows now; ReceivedWaiting
    // keeps the driver's count of received bytes (-1 when unknown).
    std::uint32_t PendingEvents()
    {
        const std::uint32_t mask = Mask.load(std::memory_order_relaxed);
        std::uint32_t events = 0;
        if (EventCharSeen.exchange(false, std::memory_order_relaxed))
            events |= EV_RXFLAG;
        int waiting = 0;
        ReceivedWaiting = ioctl(Fd, FIONREAD, &waiting) == 0 ? waiting : -1;
        if (waiting > 0) {
            events |= EV_RXCHAR;
            if (waiting * 10L >= InSize.load(std::memory_order_relaxed) * 8L)
                events |= EV_RX80FULL;
        }
        return (events | LineChanges() | ErrorEvents() | TransmitEvents()) & mask;
    }

    std::uint32_t LineChanges()
    {
        int lines;
        if (!HasModemLines || ioctl(Fd, TIOCMGET, &lines) != 0)
            return 0;
        const int changed = lines ^ LastLines;
        LastLines = lines;
        std::uint32_t events = 0;
        if (changed & TIOCM_CTS) events |= EV_CTS;
        if (changed & TIOCM_DSR) events |= EV_DSR;
        if (changed & TIOCM_CAR) events |= EV_RLSD;
        return events;
    }

    std::uint32_t ErrorEvents()
    {
        serial_icounter_struct counts{};
        if (!HasErrorCounters || ioctl(Fd, TIOCGICOUNT, &counts) != 0)
            return 0;
        const bool more = ErrorCount(counts) != ErrorCount(LastCounts);
        LastCounts = counts;
        return more ? EV_ERR : 0;
    }

    // Transmit-empty once the driver's output queue has drained after a
    // write. Drivers that cannot tell (pseudo-terminals report 0) count as
    // drained at once.
    std::uint32_t TransmitEvents()
    {
        if (!TransmitPending.load(std::memory_order_acquire))
            return 0;
        int queued = 0;
        if (ioctl(Fd, TIOCOUTQ, &queued) == 0 && queued > 0) {
            DrainWait = DrainWaitMs(OutputQueued, queued, MicrosPerChar.load(std::memory_order_relaxed));
            OutputQueued = queued;
            return 0;
        }
        OutputQueued = 0;
        TransmitPending.store(false, std::memory_order_relaxed);
        return EV_TXEMPTY;
    }

    int WaitTimeoutMs() const
    {
        if (TransmitPending.load(std::memory_order_relaxed) && OutputQueued > 0)
            return DrainWait;
        return HasModemLines || HasErrorCounters ? LineSampleMs : -1;
    }

    const int Fd;
    const std::string Device;  // the device itself, named while it still exists
    bool HasModemLines = false;
    bool HasErrorCounters = false;

    std::atomic<std::uint32_t> Mask{0};
    std::atomic<std::uint32_t> MaskChanges{0};
    TCommEvent Wake;  // ends a wait: a mask change or a finished write
    std::atomic<bool> TransmitPending{false};
    std::atomic<bool> EventCharSeen{false};
    std::atomic<char> EventChar{0};
    std::atomic<long> InSize{0};
    std::atomic<long> MicrosPerChar{1};

    // The read thread's own.
    int LastLines = 0;
    serial_icounter_struct LastCounts{};
    int OutputQueued = 0;
    int DrainWait = LineSampleMs;
    int ReceivedWaiting = -1;
    int LostError = 0;
};

// Exclusive use: TIOCEXCL keeps other programs out (root excepted), the
// lock keeps out whoever honours it, this program's other engines included.
bool TakeExclusive(int descriptor)
{
    if (flock(descriptor, LOCK_EX | LOCK_NB) != 0)
        return false;
    ioctl(descriptor, TIOCEXCL);  // best effort: not every device knows it
    return true;
}

} // namespace

std::shared_ptr<TSerialPort> OpenSerialPort(const char* deviceName, TSystemReason& failure)
{
    const std::string path = ResolveDevicePath(deviceName);
    if (path.empty()) {
        failure = SystemReason(deviceName, ENOENT);
        failure.Reason += " (no such port)";
        return nullptr;
    }
    const int descriptor = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        failure = SystemReason(DeviceOf(path), errno);
        return nullptr;
    }
    if (!TakeExclusive(descriptor)) {
        const int error = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(descriptor);
        failure = SystemReason(DeviceOf(path), error);
        return nullptr;
    }
    return std::make_shared<TLinuxSerialPort>(descriptor, DeviceOf(path));
}

} // namespace OrvekComm32::Platform
