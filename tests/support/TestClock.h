#pragma once
// A clock the test moves: a wait on it ends when the test has advanced the
// clock to its deadline, not when real time has passed.
//
// Threads: waits on any threads; Advance and AwaitSleeper on the test's.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "TClock.h"

namespace testsupport {

class TTestClock final : public OrvekComm32::TClock {
public:
    TTime Now() const override
    {
        std::lock_guard guard(Lock);
        return Current;
    }

    void WaitUntil(std::unique_lock<std::mutex>& Guard, std::condition_variable& Woken, TTime Deadline) override
    {
        TSleeper sleeper {Guard.mutex(), &Woken, 0};
        {
            // Checked under the clock's lock, so that an Advance either
            // comes before this (and is seen here) or finds the sleeper.
            std::lock_guard guard(Lock);
            if (Current >= Deadline)
                return;
            sleeper.Number = ++Registered;
            Sleepers.push_back(&sleeper);
        }
        Changed.notify_all();
        Woken.wait(Guard);
        std::lock_guard guard(Lock);
        Sleepers.erase(std::find(Sleepers.begin(), Sleepers.end(), &sleeper));
    }

    // Moves the clock on and wakes every wait, which then sees the new time.
    void Advance(std::chrono::milliseconds Step)
    {
        std::vector<TSleeper> woken;
        {
            std::lock_guard guard(Lock);
            Current += Step;
            woken.reserve(Sleepers.size());
            for (const TSleeper* sleeper : Sleepers)
                woken.push_back(*sleeper);
        }
        // Under each sleeper's own lock, so that the notification cannot
        // fall between its check of the time and its wait.
        for (const TSleeper& sleeper : woken) {
            std::lock_guard guard(*sleeper.Lock);
            sleeper.Woken->notify_all();
        }
    }

    // Blocks (up to 10 s of real time) until a thread has begun a wait
    // since the last call returned, and still waits: a thread woken since
    // (by Advance, or by its own event) has done its work and gone back to
    // sleep. False on the real-time limit.
    bool AwaitSleeper()
    {
        std::unique_lock guard(Lock);
        const bool asleep = Changed.wait_for(guard, std::chrono::seconds(10), [this] {
            return std::any_of(Sleepers.begin(), Sleepers.end(), [this](const TSleeper* s) { return s->Number > Seen; });
        });
        Seen = Registered;
        return asleep;
    }

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
