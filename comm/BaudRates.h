#pragma once
// The bit rates the library offers: the device component's TBaudRate
// values, in the enumeration's order, and the settings dialog's list.

#include <cstdint>

namespace OrvekComm32 {

inline constexpr std::uint32_t BaudRates[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                              19200, 38400, 56000, 57600, 115200, 128000, 256000};

} // namespace OrvekComm32
