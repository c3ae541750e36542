#include "NotifyGate.h"

#include <utility>

namespace OrvekComm32 {

TNotifyGate::TNotifyGate(TCommNotifyEvent::Handler Inner, TCommNotifyEvent::Handler Saved)
    : Saved(std::move(Saved)), Inner(std::move(Inner))
{
}

void TNotifyGate::Forward(TObject* Sender, int NotifyType)
{
    if (!_Enter()) {
        if (Saved)
            Saved(Sender, NotifyType);
        return;
    }
    struct TLeave {
        TNotifyGate* Gate;
        ~TLeave() { Gate->_Leave(); }
    } leave {this};
    // Inner is not changed while a call is in flight: Close waits first.
    Inner(Sender, NotifyType);
}

void TNotifyGate::Close()
{
    std::unique_lock guard(Lock);
    Closed = true;
    Idle.wait(guard, [this] { return InFlight == 0; });
    Inner = nullptr;
}

bool TNotifyGate::_Enter()
{
    std::lock_guard guard(Lock);
    if (Closed)
        return false;
    ++InFlight;
    return true;
}

void TNotifyGate::_Leave()
{
    std::lock_guard guard(Lock);
    if (--InFlight == 0)
        Idle.notify_all();
}

} // namespace OrvekComm32
