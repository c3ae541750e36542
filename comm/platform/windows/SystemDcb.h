#pragma once
// The engine's line settings record as the system's own device control
// block: the same fields, copied one by one (the two records are separate
// types, so nothing rests on their layouts agreeing).

struct _DCB;  // <windows.h>'s DCB

namespace OrvekComm32 {
struct DCB;
}

namespace OrvekComm32::Platform {

// Fills every field of `system` from `dcb`; DCBlength becomes the system
// record's size.
void ToSystemDcb(const OrvekComm32::DCB& dcb, _DCB& system);

} // namespace OrvekComm32::Platform
