#pragma once
// A manual-reset event that a thread can wait on beside a port: set, it
// stays set until reset, and every waiter sees it.
//
// Threads: Set, Reset and the waits may be called from any thread.

namespace OrvekComm32::Platform {

class TCommEvent {
public:
    TCommEvent();
    ~TCommEvent();
    TCommEvent(const TCommEvent&) = delete;
    TCommEvent& operator=(const TCommEvent&) = delete;

    // False when the system refused the event (out of descriptors).
    bool Valid() const { return Descriptor >= 0; }
    void Set();
    void Reset();
    bool IsSet() const;
    // True when the event is set within timeoutMs (negative: no limit).
    bool Wait(int timeoutMs) const;

    // For waits that include this event, see WaitForEither.
    int PollDescriptor() const { return Descriptor; }

private:
    // An eventfd on Linux; on Windows an event handle in the 32-bit form
    // that Windows guarantees for its handles (HandleToLong), -1 for none.
    int Descriptor = -1;
};

// Waits until one of the two events is set: 0 for `first`, 1 for `second`
// (the first wins when both are set), -1 when timeoutMs passed first.
int WaitForEither(const TCommEvent& first, const TCommEvent& second, int timeoutMs);

} // namespace OrvekComm32::Platform
