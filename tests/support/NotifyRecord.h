#pragma once
// The notify values a handler received, from whichever thread, and who sent
// them; a test can wait for them.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>
#include <vector>

#include "TComm32.h"

namespace testsupport {

class NotifyRecord {
public:
    std::function<void(TObject*, int)> Handler()
    {
        return [this](TObject* Sender, int NotifyType) { Add(NotifyType, Sender); };
    }

    void Add(int value, TObject* sender = nullptr)
    {
        {
            std::lock_guard guard(Lock);
            Values.push_back(value);
            Senders.insert(sender);
        }
        Changed.notify_all();
    }

    std::vector<int> Record() const
    {
        std::lock_guard guard(Lock);
        return Values;
    }

    std::set<TObject*> From() const
    {
        std::lock_guard guard(Lock);
        return Senders;
    }

    void Clear()
    {
        std::lock_guard guard(Lock);
        Values.clear();
    }

    // True when `done(record)` held within `timeout`; `done` runs under the
    // record's lock and must look only at its argument.
    bool WaitFor(const std::function<bool(const std::vector<int>&)>& done,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10)) const
    {
        std::unique_lock guard(Lock);
        return Changed.wait_for(guard, timeout, [&] { return done(Values); });
    }

    bool WaitForSize(std::size_t count) const
    {
        return WaitFor([count](const std::vector<int>& values) { return values.size() >= count; });
    }

private:
    mutable std::mutex Lock;
    mutable std::condition_variable Changed;
    std::vector<int> Values;
    std::set<TObject*> Senders;
};

} // namespace testsupport
