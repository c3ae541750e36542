#include "EngineSupport.h"

#include <algorithm>
#include <cstdio>
#include <thread>

namespace enginetest {

using namespace OrvekComm32;

void UsePort(TComm32& engine, int comNumber)
{
    engine.PortNo = comNumber;
    std::snprintf(engine.DeviceName, sizeof engine.DeviceName, TComm32::Fmt_COMn, comNumber);
}

std::string Pattern(std::size_t count)
{
    std::string bytes(count, '\0');
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<char>(i % 251);
    return bytes;
}

std::string ReadFromEngine(TComm32& engine, std::size_t wanted, std::chrono::milliseconds timeout)
{
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    char buffer[4096];
    while (got.size() < wanted && std::chrono::steady_clock::now() < deadline) {
        const long n = engine.Read(buffer, static_cast<long>(std::min(sizeof buffer, wanted - got.size())));
        got.append(buffer, static_cast<std::size_t>(n));
        if (n == 0)
            std::this_thread::sleep_for(1ms);
    }
    return got;
}

std::size_t CountWith(const std::vector<int>& record, int bits)
{
    return static_cast<std::size_t>(std::count_if(record.begin(), record.end(), [bits](int v) { return v > 0 && (v & bits); }));
}

void Notifications::Attach(TComm32& engine)
{
    const auto add = [this](int value) {
        {
            std::lock_guard guard(Lock);
            Values.push_back(value);
        }
        Changed.notify_all();
    };
    engine.OnCommNotify = [add](TObject*, int type) { add(type); };
    engine.OnAfterOpen = [add](TObject*) { add(AfterOpen); };
    engine.OnBeforeClose = [add](TObject*) { add(BeforeClose); };
}

std::vector<int> Notifications::Record() const
{
    std::lock_guard guard(Lock);
    return Values;
}

void Notifications::Clear()
{
    std::lock_guard guard(Lock);
    Values.clear();
}

bool Notifications::WaitFor(const std::function<bool(const std::vector<int>&)>& done,
                            std::chrono::milliseconds timeout) const
{
    std::unique_lock guard(Lock);
    return Changed.wait_for(guard, timeout, [&] { return done(Values); });
}

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
    PostEvents(EV_RXCHAR);
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

bool FakePort::WaitForWritten(std::size_t count) const
{
    std::unique_lock guard(Lock);
    return WrittenChanged.wait_for(guard, 5s, [&] { return Outgoing.size() >= count; });
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
                events = Events.front() & Mask;
                Events.pop_front();
                if (Events.empty())
                    Pending.Reset();
                return TWaitResult::Event;
            }
        }
        if (Platform::WaitForEither(stop, Pending, -1) == 0)
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

FakePort::TWriteResult FakePort::WriteFile(const char* data, long size, const TCommEvent& stop, long& written)
{
    const long limit = AcceptLimit;
    written = limit < 0 ? size : std::min(size, limit);
    if (limit >= 0)
        AcceptLimit = limit - written;
    {
        std::lock_guard guard(Lock);
        Outgoing.append(data, static_cast<std::size_t>(written));
        WrittenChunks.push_back(written);
    }
    WrittenChanged.notify_all();
    if (written == size)
        return TWriteResult::Done;
    stop.Wait(-1);  // a driver that takes no more, until Close
    return TWriteResult::Stopped;
}

bool FakePort::GetCommModemStatus(std::uint32_t& status)
{
    status = ModemLines;
    return ModemLinesKnown;
}

} // namespace enginetest
