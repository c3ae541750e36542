#pragma once
// Tells when the system's serial ports may have changed: an adapter plugged
// in or pulled out, an entry of the port link directory made or removed. It
// is a descriptor to poll, readable once something changed, so that a
// window can put it beside its other events; TakeChanges then empties it.
// It says only that the list is worth reading again, not what changed.
//
// Threads: one object, used on one thread.

#include <memory>

#include "SerialPortValue.h"

namespace OrvekComm32 {

class TCommPortWatch {
public:
    // Watches the sources the port list reads on this system.
    TCommPortWatch();
    // Watches a link directory of the caller's (the sysfs root is not
    // watched: devices come and go through the system's device events).
    explicit TCommPortWatch(const Platform::TSerialPortSources& sources);
    ~TCommPortWatch();
    TCommPortWatch(const TCommPortWatch&) = delete;
    TCommPortWatch& operator=(const TCommPortWatch&) = delete;

    // Readable when something changed; -1 when the system offers no watch
    // (the list is then read only when asked for).
    int Descriptor() const;
    // True when something changed since the last call; never waits.
    bool TakeChanges();

private:
    struct TState;
    std::unique_ptr<TState> State;
};

} // namespace OrvekComm32
