#include "EngineSupport.h"

#include <algorithm>

namespace enginetest {

using namespace OrvekComm32;

EComm32Error OpenFailure(TComm32& engine)
{
    try {
        engine.Open();
    } catch (const EComm32Error& error) {
        return error;
    }
    return EComm32Error(EComm32Error::ecNone);
}

std::string Pattern(std::size_t count)
{
    std::string bytes(count, '\0');
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<char>(i % 251);
    return bytes;
}

std::size_t CountWith(const std::vector<int>& record, int bits)
{
    return static_cast<std::size_t>(std::count_if(record.begin(), record.end(), [bits](int v) { return v > 0 && (v & bits); }));
}

void Notifications::Attach(TComm32& engine)
{
    engine.OnCommNotify = [this](TObject*, int type) { Add(type); };
    engine.OnAfterOpen = [this](TObject*) { Add(AfterOpen); };
    engine.OnBeforeClose = [this](TObject*) { Add(BeforeClose); };
}

void FakePort::PostEvents(std::uint32_t events)
{
    std::lock_guard guard(Lock);
    Events.push_back(events);
    Pending.Set();
}

bool FakePort::WaitForWritten(std::size_t count) const
{
    std::unique_lock guard(Lock);
    return WrittenChanged.wait_for(guard, 5s, [&] { return Outgoing.size() >= count; });
}

FakePort::TWaitResult FakePort::WaitCommEvent(std::uint32_t& events, const TCommEvent& stop)
{
    for (;;) {
        {
            std::lock_guard guard(Lock);
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

} // namespace enginetest
