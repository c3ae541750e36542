#pragma once
// The system's text of a Windows error code, in English where the system
// has it, without the trailing line break: "Access is denied."

#include <string>

namespace OrvekComm32::Platform {

std::string SystemErrorText(unsigned long error);

} // namespace OrvekComm32::Platform
