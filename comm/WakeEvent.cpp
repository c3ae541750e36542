#include "WakeEvent.h"

namespace OrvekComm32 {

void TWakeEvent::Signal()
{
    {
        std::lock_guard guard(Lock);
        Signalled = true;
    }
    Woken.notify_one();
}

void TWakeEvent::Wait()
{
    std::unique_lock guard(Lock);
    Woken.wait(guard, [this] { return Signalled; });
    Signalled = false;
}

void TWakeEvent::WaitFor(std::chrono::milliseconds Timeout)
{
    std::unique_lock guard(Lock);
    const TClock::TTime deadline = Clock.Now() + Timeout;
    while (!Signalled && Clock.Now() < deadline)
        Clock.WaitUntil(guard, Woken, deadline);
    Signalled = false;
}

} // namespace OrvekComm32
