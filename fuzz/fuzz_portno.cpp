// PortNo of any text: never negative, and a number it finds names a port
// whose name gives the number back.
#include <cstdint>
#include <cstdlib>

#include "TCommSerialPortInfo.h"

using OrvekComm32::TCommSerialPortInfo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const TOrvekFuncs::TOrvekString name(reinterpret_cast<const char*>(data), size);
    const int number = TCommSerialPortInfo::PortNo(name);
    if (number < 0)
        std::abort();
    if (number > 0 && TCommSerialPortInfo::PortNo(TCommSerialPortInfo::PortName(number)) != number)
        std::abort();
    return 0;
}
