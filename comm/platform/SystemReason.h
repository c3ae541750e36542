#pragma once
// Why a system call failed, as the user is told: the system's error number
// and a text naming what failed, such as "/dev/ttyS0: Permission denied".
//
// Threads: any; the system keeps its last error per thread.

#include <string>

namespace OrvekComm32::Platform {

struct TSystemReason {
    int Error = 0;        // errno here, the system's error code where there is no errno
    std::string Reason;   // empty when there is none
};

// The calling thread's last system error, named after `subject`. Call it
// right after the failed call, before anything else can change it.
TSystemReason LastSystemReason(const std::string& subject);
// The same for an error the caller already holds.
TSystemReason SystemReason(const std::string& subject, int error);

// Whether an error of TSystemReason::Error is a refused permission that
// membership of the device's group would mend (EACCES, EPERM on Linux;
// Windows has no such groups).
bool PermissionRefused(int error);

} // namespace OrvekComm32::Platform
