#include "Notifications.h"

#include <algorithm>

namespace enginetest {

void Notifications::Attach(OrvekComm32::TComm32& engine)
{
    engine.OnCommNotify = [this](TObject*, int type) { Add(type); };
    engine.OnAfterOpen = [this](TObject*) { Add(AfterOpen); };
    engine.OnBeforeClose = [this](TObject*) { Add(BeforeClose); };
}

void Notifications::Add(int value)
{
    {
        std::lock_guard guard(Lock);
        Values.push_back(value);
    }
    Changed.notify_all();
}

std::vector<int> Notifications::Record() const
{
    std::lock_guard guard(Lock);
    return Values;
}

std::size_t Notifications::CountWith(int bits) const
{
    std::lock_guard guard(Lock);
    return CountWith(Values, bits);
}

std::size_t Notifications::CountWith(const std::vector<int>& record, int bits)
{
    return static_cast<std::size_t>(
        std::count_if(record.begin(), record.end(), [bits](int value) { return value > 0 && (value & bits); }));
}

void Notifications::Clear()
{
    std::lock_guard guard(Lock);
    Values.clear();
}

// `done` runs under the record's lock: it must look only at its argument.
bool Notifications::WaitFor(const std::function<bool(const std::vector<int>&)>& done,
                            std::chrono::milliseconds timeout) const
{
    std::unique_lock guard(Lock);
    return Changed.wait_for(guard, timeout, [&] { return done(Values); });
}

} // namespace enginetest
