#pragma once
// A bound-method event slot that one thread may set or clear while others
// raise it. Raising takes a reference to the current handler under the
// slot's own lock and calls it outside the lock, so a handler may itself
// set the slot, and a slot cleared while a call is in flight lets that call
// finish with the handler it started with.

#include <functional>
#include <memory>
#include <mutex>

#include "TObject.h"

namespace OrvekComm32 {

template <typename... Args>
class TEvent {
public:
    using Handler = std::function<void(Args...)>;

    TEvent() = default;
    TEvent(const TEvent&) = delete;
    TEvent& operator=(const TEvent&) = delete;

    // Sets the handler; an empty handler (or nullptr) clears the slot.
    TEvent& operator=(Handler handler)
    {
        auto next = handler ? std::make_shared<const Handler>(std::move(handler)) : nullptr;
        std::lock_guard guard(Lock);
        Current = std::move(next);
        return *this;
    }

    // A copy of the handler, empty when none is set.
    Handler Get() const
    {
        auto current = Snapshot();
        return current ? *current : Handler{};
    }

    explicit operator bool() const { return Snapshot() != nullptr; }

    // Calls the handler when one is set; true when it was called.
    bool operator()(Args... args) const
    {
        auto current = Snapshot();
        if (!current)
            return false;
        (*current)(args...);
        return true;
    }

private:
    std::shared_ptr<const Handler> Snapshot() const
    {
        std::lock_guard guard(Lock);
        return Current;
    }

    mutable std::mutex Lock;
    std::shared_ptr<const Handler> Current;
};

using TCommNotifyEvent = TEvent<TObject* /*Sender*/, int /*NotifyType*/>;
using TNotifyEvent = TEvent<TObject* /*Sender*/>;

// Binds a member function to its object, as a handler for an event slot.
template <typename T, typename R, typename... Args>
auto Bind(T* object, R (T::*method)(Args...))
{
    return [object, method](Args... args) { (object->*method)(args...); };
}

} // namespace OrvekComm32
