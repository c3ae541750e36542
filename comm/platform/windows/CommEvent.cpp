#include "CommEvent.h"

#include "EventHandle.h"

namespace OrvekComm32::Platform {
namespace {

DWORD Milliseconds(int timeoutMs)
{
    return timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
}

} // namespace

TCommEvent::TCommEvent()
{
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    Descriptor = event ? HandleToLong(event) : -1;
}

TCommEvent::~TCommEvent()
{
    if (Valid())
        CloseHandle(EventHandle(*this));
}

void TCommEvent::Set()
{
    SetEvent(EventHandle(*this));
}

void TCommEvent::Reset()
{
    ResetEvent(EventHandle(*this));
}

bool TCommEvent::IsSet() const
{
    return Wait(0);
}

bool TCommEvent::Wait(int timeoutMs) const
{
    return WaitForSingleObject(EventHandle(*this), Milliseconds(timeoutMs)) == WAIT_OBJECT_0;
}

int WaitForEither(const TCommEvent& first, const TCommEvent& second, int timeoutMs)
{
    // The lowest index of the handles that are set is reported: the first wins.
    const HANDLE events[2] = {EventHandle(first), EventHandle(second)};
    const DWORD ready = WaitForMultipleObjects(2, events, FALSE, Milliseconds(timeoutMs));
    if (ready == WAIT_OBJECT_0 || ready == WAIT_OBJECT_0 + 1)
        return static_cast<int>(ready - WAIT_OBJECT_0);
    return -1;
}

} // namespace OrvekComm32::Platform
