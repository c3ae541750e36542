#include "SystemReason.h"

#include <windows.h>

#include "SystemText.h"

namespace OrvekComm32::Platform {

std::string SystemErrorText(unsigned long error)
{
    char* text = nullptr;
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    DWORD length = FormatMessageA(flags, nullptr, error, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                  reinterpret_cast<LPSTR>(&text), 0, nullptr);
    if (length == 0)  // no English messages installed: the system's own language
        length = FormatMessageA(flags, nullptr, error, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string result = length ? std::string(text, length) : "error " + std::to_string(error);
    if (text)
        LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == ' '))
        result.pop_back();
    return result;
}

TSystemReason LastSystemReason(const std::string& subject)
{
    return SystemReason(subject, static_cast<int>(GetLastError()));
}

TSystemReason SystemReason(const std::string& subject, int error)
{
    return {error, subject + ": " + SystemErrorText(static_cast<unsigned long>(error))};
}

bool PermissionRefused(int)
{
    // Access to a COM port is refused while another program holds it; no
    // group membership mends that.
    return false;
}

} // namespace OrvekComm32::Platform
