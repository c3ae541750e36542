#include "SystemReason.h"

#include <cerrno>
#include <cstring>

namespace OrvekComm32::Platform {

TSystemReason LastSystemReason(const std::string& subject)
{
    return SystemReason(subject, errno);
}

TSystemReason SystemReason(const std::string& subject, int error)
{
    return {error, subject + ": " + std::strerror(error)};
}

bool PermissionRefused(int error)
{
    return error == EACCES || error == EPERM;
}

} // namespace OrvekComm32::Platform
