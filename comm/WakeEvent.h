#pragma once
// The auto-reset event the package layer's thread sleeps on; its time-outs
// run on the clock it is given.
//
// Threads: Signal on any thread; Wait and WaitFor on one thread at a time.

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "TClock.h"

namespace OrvekComm32 {

class TWakeEvent {
public:
    explicit TWakeEvent(TClock& Clock) : Clock(Clock) {}

    void Signal();
    // Both return with the event reset, signalled or not.
    void Wait();
    void WaitFor(std::chrono::milliseconds Timeout);

private:
    TClock& Clock;
    std::mutex Lock;
    std::condition_variable Woken;
    bool Signalled = false;
};

} // namespace OrvekComm32
