#pragma once
// The time that the package layer's thread waits in: the system's steady
// clock in use, or a clock a test moves (so that a silent interval takes
// no real time and its end is exact).
//
// Threads: Now and WaitUntil on any threads at once.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace OrvekComm32 {

class TClock {
public:
    using TTime = std::chrono::steady_clock::time_point;

    virtual ~TClock() = default;

    virtual TTime Now() const = 0;
    // Waits on Woken, whose mutex Guard holds, until Woken is notified or
    // this clock reaches Deadline; like a condition variable's wait it may
    // return sooner, so the caller checks its condition and Now() again.
    virtual void WaitUntil(std::unique_lock<std::mutex>& Guard, std::condition_variable& Woken, TTime Deadline) = 0;

    // The system's steady clock.
    static TClock& System();
};

} // namespace OrvekComm32
