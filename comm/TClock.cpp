#include "TClock.h"

namespace OrvekComm32 {
namespace {

class TSystemClock final : public TClock {
public:
    TTime Now() const override { return std::chrono::steady_clock::now(); }

    void WaitUntil(std::unique_lock<std::mutex>& Guard, std::condition_variable& Woken, TTime Deadline) override
    {
        Woken.wait_until(Guard, Deadline);
    }
};

} // namespace

TClock& TClock::System()
{
    static TSystemClock clock;
    return clock;
}

} // namespace OrvekComm32
