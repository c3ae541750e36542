#pragma once
// poll() that survives signals, for the platform's waits.

#include <cerrno>
#include <poll.h>

namespace OrvekComm32::Platform {

// The time-out is not restarted, which only lengthens a wait that a signal
// interrupted.
inline int PollRetrying(pollfd* fds, nfds_t count, int timeoutMs)
{
    int ready;
    do
        ready = ::poll(fds, count, timeoutMs);
    while (ready < 0 && errno == EINTR);
    return ready;
}

} // namespace OrvekComm32::Platform
