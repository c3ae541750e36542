// Windows names its serial ports itself: COMn is the device \\.\COMn, and
// there is no port link directory to consult or to make. A device path
// (any name with a backslash or a slash) is opened as it is.
#include "PortNames.h"

#include <string_view>

namespace OrvekComm32::Platform {
namespace {

constexpr const char* DevicePrefix = "\\\\.\\";

// The decimal number that makes up all of `digits`, without leading zeros
// and of at most six digits, as on Linux; else 0.
int WholeNumber(std::string_view digits)
{
    if (digits.empty() || digits.size() > 6 || (digits.size() > 1 && digits[0] == '0'))
        return 0;
    int number = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return 0;
        number = number * 10 + (c - '0');
    }
    return number;
}

bool IsCom(std::string_view name)
{
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    return name.size() > 3 && upper(name[0]) == 'C' && upper(name[1]) == 'O' && upper(name[2]) == 'M';
}

} // namespace

std::string PortLinkDirectory()
{
    return {};
}

std::string UntrustedLinkDirectoryReason(const std::string& dir)
{
    return dir.empty() ? std::string() : dir + ": Windows names its serial ports itself; no link directory is read";
}

std::string TrustedPortLinkDirectory()
{
    return {};
}

std::string MakePortLinkDirectory()
{
    return "Windows names its serial ports itself; there is no port link directory";
}

int ComNumberOfDeviceName(const char* deviceName)
{
    if (!deviceName)
        return 0;
    std::string_view name(deviceName);
    if (name.starts_with(DevicePrefix))
        name.remove_prefix(4);
    return IsCom(name) ? WholeNumber(name.substr(3)) : 0;
}

std::string FixedDeviceOfComNumber(int comNumber)
{
    return comNumber > 0 ? DevicePrefix + std::string("COM") + std::to_string(comNumber) : std::string();
}

int ComNumberOfFixedDevice(const std::string& ttyName)
{
    return ComNumberOfDeviceName(ttyName.c_str());
}

std::string ResolveDevicePath(const char* deviceName)
{
    const int number = ComNumberOfDeviceName(deviceName);
    if (number > 0)
        return FixedDeviceOfComNumber(number);
    // A path of the system's device namespace (\\.\CNCA0) is its own device.
    const std::string_view name(deviceName ? deviceName : "");
    return name.find_first_of("\\/") != std::string_view::npos ? std::string(name) : std::string();
}

} // namespace OrvekComm32::Platform
