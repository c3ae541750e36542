#pragma once
// A clock the test moves: a wait on it ends when the test has advanced the
// clock to its deadline, not when real time has passed.
//
// Threads: waits on any threads; Advance and AwaitSleeper on the test's.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "TClock.h"

namespace testsupport {

class TTestClock final : public OrvekComm32::TClock {
public:
    TTime Now() const override;
    void WaitUntil(std::unique_lock<std::mutex>& Guard, std::condition_variable& Woken, TTime Deadline) override;

    // Moves the clock on and wakes every wait, which then sees the new time.
    void Advance(std::chrono::milliseconds Step);
    // Blocks (up to 10 s of real time) until a thread has begun a wait
    // since the last call returned, and still waits: a thread woken since
    // (by Advance, or by its own event) has done its work and gone back to
    // sleep. False on the real-time limit.
    bool AwaitSleeper();

private:
    struct TSleeper {
        std::mutex* Lock;
        std::condition_variable* Woken;
        std::uint64_t Number; // registrations count from 1
    };

    mutable std::mutex Lock;
    std::condition_variable Changed;
    TTime Current {};
    std::vector<TSleeper*> Sleepers;
    std::uint64_t Registered = 0;
    std::uint64_t Seen = 0;
};

} // namespace testsupport
