#pragma once
// The engine reaches the package layer only through this gate, which the
// handler installed on the engine co-owns. The engine's event slot lets a
// call that had already taken the handler finish after the handler was
// replaced, so the layer's destructor cannot just put the old handler back:
// it closes the gate, which waits for the calls inside the layer and turns
// later stragglers to the saved handler.
//
// Threads: Forward on any threads, several at once; Close on one thread,
// never from inside Forward (it would wait for itself).

#include <condition_variable>
#include <mutex>

#include "TEvent.h"

namespace OrvekComm32 {

class TNotifyGate {
public:
    // Inner is the layer's handler; Saved the engine's handler from before.
    TNotifyGate(TCommNotifyEvent::Handler Inner, TCommNotifyEvent::Handler Saved);

    // Inner while the gate is open, Saved after it was closed.
    void Forward(TObject* Sender, int NotifyType);
    // Returns when no call is inside Inner any more; none enters after.
    void Close();

    const TCommNotifyEvent::Handler Saved; // the engine's handler before the layer hooked in

private:
    bool _Enter();
    void _Leave();

    std::mutex Lock;
    std::condition_variable Idle;
    TCommNotifyEvent::Handler Inner;
    bool Closed = false;
    int InFlight = 0;
};

} // namespace OrvekComm32
