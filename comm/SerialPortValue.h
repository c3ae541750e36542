#pragma once
// What the platform layer reads about the system's serial ports, and where
// it reads it from: plain values that the port list takes in.

#include <string>

namespace OrvekComm32::Platform {

struct TSerialPortValue {
    std::string Data;          // "COMn"
    std::string DevicePath;    // "/dev/ttyUSB0", or a link directory's target
    std::string Description;   // "FTDI FT232R USB UART"; empty when unknown
    std::string DeviceNode;    // the device's own name, "ttyUSB0" or "pts/3"; empty when unknown
};

struct TSerialPortSources {
    std::string LinkDirectory;   // TrustedPortLinkDirectory() by default
    std::string SysfsRoot;       // "/sys" by default
};

} // namespace OrvekComm32::Platform
