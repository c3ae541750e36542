#pragma once
// Checks of thread contracts that the type system cannot hold, made in
// builds with assertions only (none under NDEBUG).
//
// Threads: TOwnerThread::IsCurrent on any thread; TOneAtATime's scopes on
// any threads, which is what it checks.

#include <atomic>
#include <cassert>
#include <thread>

namespace OrvekComm32 {

// True where assert checks its argument: it evaluates it only then.
inline bool AssertionsOn()
{
    bool on = false;
    assert((on = true));
    return on;
}

// The thread that made the object, as the owner whose calls it expects.
class TOwnerThread {
public:
    bool IsCurrent() const { return std::this_thread::get_id() == Owner; }

private:
    const std::thread::id Owner = std::this_thread::get_id();
};

// Asserts that no two callers are inside the guarded calls at once, on
// whatever threads they run.
class TOneAtATime {
public:
    class TScope {
    public:
        explicit TScope(TOneAtATime& Calls) : Calls(Calls)
        {
            if (AssertionsOn()) {
                [[maybe_unused]] const bool overlapping = Calls.Inside.exchange(true, std::memory_order_acquire);
                assert(!overlapping && "two callers at once where one at a time is the contract");
            }
        }
        ~TScope()
        {
            if (AssertionsOn())
                Calls.Inside.store(false, std::memory_order_release);
        }
        TScope(const TScope&) = delete;
        TScope& operator=(const TScope&) = delete;

    private:
        TOneAtATime& Calls;
    };

private:
    std::atomic<bool> Inside{false};
};

} // namespace OrvekComm32
