#include "FakePort.h"

#include <algorithm>

namespace enginetest {

using OrvekComm32::Platform::TCommEvent;

void FakePort::PostEvents(std::uint32_t events)
{
    std::lock_guard guard(Lock);
    Events.push_back(events);
    Pending.Set();
}

void FakePort::Receive(const std::string& bytes)
{
    {
        std::lock_guard guard(Lock);
        Incoming += bytes;
    }
    PostEvents(OrvekComm32::EV_RXCHAR);
}

std::vector<long> FakePort::Chunks() const
{
    std::lock_guard guard(Lock);
    return WrittenChunks;
}

std::string FakePort::Written() const
{
    std::lock_guard guard(Lock);
    return Outgoing;
}

bool FakePort::SetCommMask(std::uint32_t mask)
{
    std::lock_guard guard(Lock);
    Mask = mask;
    if (Waiting) {
        Events.push_back(0);  // a mask change ends a wait in progress with no events
        Pending.Set();
    }
    return true;
}

FakePort::TWaitResult FakePort::WaitCommEvent(std::uint32_t& events, const TCommEvent& stop)
{
    for (;;) {
        {
            std::lock_guard guard(Lock);
            Waiting = Events.empty();
            if (!Events.empty()) {
                events = Events.front() & (Events.front() ? Mask : 0);
                Events.pop_front();
                if (Events.empty())
                    Pending.Reset();
                return TWaitResult::Event;
            }
        }
        if (OrvekComm32::Platform::WaitForEither(stop, Pending, -1) == 0)
            return TWaitResult::Stopped;
    }
}

bool FakePort::ClearCommError(long& bytesWaiting)
{
    std::lock_guard guard(Lock);
    bytesWaiting = static_cast<long>(Incoming.size());
    return true;
}

long FakePort::ReadFile(char* buffer, long size)
{
    std::lock_guard guard(Lock);
    const long n = std::min<long>(size, static_cast<long>(Incoming.size()));
    std::copy_n(Incoming.begin(), n, buffer);
    Incoming.erase(0, static_cast<std::size_t>(n));
    return n > 0 ? n : -1;
}

FakePort::TWriteResult FakePort::WriteFile(const char* data, long size, const TCommEvent&, long& written)
{
    std::lock_guard guard(Lock);
    Outgoing.append(data, static_cast<std::size_t>(size));
    WrittenChunks.push_back(size);
    written = size;
    if (ReportTransmitEmpty) {
        Events.push_back(OrvekComm32::EV_TXEMPTY);
        Pending.Set();
    }
    return TWriteResult::Done;
}

bool FakePort::GetCommModemStatus(std::uint32_t& status)
{
    if (!ModemLinesKnown)
        return false;
    status = ModemLines;
    return true;
}

} // namespace enginetest
