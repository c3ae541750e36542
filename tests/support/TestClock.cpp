#include "TestClock.h"

#include <algorithm>

namespace testsupport {

TTestClock::TTime TTestClock::Now() const
{
    std::lock_guard guard(Lock);
    return Current;
}

void TTestClock::WaitUntil(std::unique_lock<std::mutex>& Guard, std::condition_variable& Woken, TTime Deadline)
{
    TSleeper sleeper {Guard.mutex(), &Woken, 0};
    {
        std::lock_guard guard(Lock);
        // Checked under the clock's lock, so that an Advance either comes
        // before this (and is seen here) or finds the sleeper to wake.
        if (Current >= Deadline)
            return;
        sleeper.Number = ++Registered;
        Sleepers.push_back(&sleeper);
    }
    Changed.notify_all();
    Woken.wait(Guard);
    std::lock_guard guard(Lock);
    Sleepers.erase(std::find(Sleepers.begin(), Sleepers.end(), &sleeper));
    Changed.notify_all();
}

void TTestClock::Advance(std::chrono::milliseconds Step)
{
    std::vector<TSleeper> woken;
    {
        std::lock_guard guard(Lock);
        Current += Step;
        for (const TSleeper* sleeper : Sleepers)
            woken.push_back(*sleeper);
    }
    // Under each sleeper's own lock, so that the notification cannot fall
    // between its check of the time and its wait.
    for (const TSleeper& sleeper : woken) {
        std::lock_guard guard(*sleeper.Lock);
        sleeper.Woken->notify_all();
    }
}

bool TTestClock::AwaitSleeper()
{
    std::unique_lock guard(Lock);
    const bool asleep = Changed.wait_for(guard, std::chrono::seconds(10), [this] {
        return std::any_of(Sleepers.begin(), Sleepers.end(),
                           [this](const TSleeper* sleeper) { return sleeper->Number > Seen; });
    });
    Seen = Registered;
    return asleep;
}

} // namespace testsupport
