#pragma once
// The event handle behind a TCommEvent, for the Windows layer's own waits.

#include <windows.h>

#include "CommEvent.h"

namespace OrvekComm32::Platform {

inline HANDLE EventHandle(const TCommEvent& event)
{
    return LongToHandle(event.PollDescriptor());
}

} // namespace OrvekComm32::Platform
