#pragma once
// Records what an engine tells its owner, from whichever thread it comes,
// and lets the test wait for a condition on the record.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "TComm32.h"

namespace enginetest {

class Notifications {
public:
    // Installs the three events on `engine`. The record holds notify values
    // as numbers, and the open and close events as -1 and -2.
    static constexpr int AfterOpen = -1;
    static constexpr int BeforeClose = -2;
    void Attach(OrvekComm32::TComm32& engine);

    std::vector<int> Record() const;
    std::size_t CountWith(int bits) const;
    static std::size_t CountWith(const std::vector<int>& record, int bits);
    void Clear();
    // True when `done(record)` held within `timeout`.
    bool WaitFor(const std::function<bool(const std::vector<int>&)>& done,
                 std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

private:
    void Add(int value);
    mutable std::mutex Lock;
    mutable std::condition_variable Changed;
    std::vector<int> Values;
};

} // namespace enginetest
