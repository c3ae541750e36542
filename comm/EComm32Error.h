#pragma once
// The engine's exception: a code 1 to 15 with its text in the process
// language, and the system's reason beside it where there is one. Code 15
// is never thrown: it names a port that went away while open, which the
// engine reports through its notify event (EV_PORTLOST) and PortLoss.
//
// The window and ccdl tell a failure by the same three pieces: the code's
// text (Message), the system's reason (OsReason) and the Hint.

#include <cstdint>
#include <string>

#include "Exception.h"

namespace OrvekComm32 {

class EComm32Error : public Exception {
public:
    enum TErrorCode : std::uint8_t {
        ecNone = 0,
        ecOutOfMemory = 1,
        ecReadBuffer = 2,
        ecWriteBuffer = 3,
        ecOpenPort = 4,
        ecSetCommMask = 5,
        ecSetupComm = 6,
        ecGetCommState = 7,
        ecSetCommState = 8,
        ecReadEvent = 9,
        ecWriteEvent = 10,
        ecReadThread = 11,
        ecWriteThread = 12,
        ecCloseReadThread = 13,
        ecCloseWriteThread = 14,
        ecPortLost = 15,
    };

    // The message is the code's text in the process language.
    explicit EComm32Error(TErrorCode code);
    // The same, keeping the system's reason beside it (errno and a text
    // such as "/dev/ttyS0: Permission denied").
    EComm32Error(TErrorCode code, int osError, std::string osReason);

    // What to do about it, in the process language, where the failure is
    // one a user can mend: for a refused permission, joining the group
    // that owns the device. Empty otherwise.
    TOrvekFuncs::TOrvekString Hint() const;

    TErrorCode ErrorCode;
    int OsError = 0;          // errno of the failing system call, 0 if none
    std::string OsReason;     // device path and system text, empty if none
};

} // namespace OrvekComm32
