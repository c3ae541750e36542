#pragma once
// The auto-reset event the package layer's thread sleeps on.
//
// Threads: Signal on any thread; Wait and WaitFor on one thread at a time.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace OrvekComm32 {

class TWakeEvent {
public:
    void Signal();
    // Both return with the event reset, signalled or not.
    void Wait();
    void WaitFor(std::chrono::milliseconds Timeout);

private:
    std::mutex Lock;
    std::condition_variable Woken;
    bool Signalled = false;
};

} // namespace OrvekComm32
