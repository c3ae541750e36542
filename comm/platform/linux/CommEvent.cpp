#include "CommEvent.h"

#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

#include "PollRetrying.h"

namespace OrvekComm32::Platform {

TCommEvent::TCommEvent() : Descriptor(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

TCommEvent::~TCommEvent()
{
    if (Descriptor >= 0)
        ::close(Descriptor);
}

void TCommEvent::Set()
{
    const std::uint64_t one = 1;
    // A full counter is still set: the failure changes nothing.
    [[maybe_unused]] auto written = ::write(Descriptor, &one, sizeof one);
}

void TCommEvent::Reset()
{
    std::uint64_t count;
    [[maybe_unused]] auto read = ::read(Descriptor, &count, sizeof count);
}

bool TCommEvent::IsSet() const
{
    return Wait(0);
}

bool TCommEvent::Wait(int timeoutMs) const
{
    pollfd entry{Descriptor, POLLIN, 0};
    return PollRetrying(&entry, 1, timeoutMs) > 0;
}

int WaitForEither(const TCommEvent& first, const TCommEvent& second, int timeoutMs)
{
    pollfd entries[2] = {{first.PollDescriptor(), POLLIN, 0}, {second.PollDescriptor(), POLLIN, 0}};
    if (PollRetrying(entries, 2, timeoutMs) <= 0)
        return -1;
    return (entries[0].revents & POLLIN) ? 0 : 1;
}

} // namespace OrvekComm32::Platform
