// The system's serial ports on Windows: the string values of the registry
// key HARDWARE\DEVICEMAP\SERIALCOMM, whose data name the ports ("COM3") and
// whose names (driver device names) are not used. The key is opened read
// only: it belongs to the system, and users other than administrators are
// refused any wider access, which would hide every port. The Linux sources
// (link directory, sysfs root) have no counterpart here and are ignored.
#include "SerialPortSources.h"

#include <windows.h>

#include "PortNames.h"

namespace OrvekComm32::Platform {
namespace {

constexpr const char* PortKey = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

// The data of value `index` when it is a string; false when there are no
// more values.
bool ReadValue(HKEY key, DWORD index, bool& isString, std::string& data)
{
    char name[256];
    DWORD nameLength = sizeof name;
    DWORD type = 0, bytes = 0;
    LONG result = RegEnumValueA(key, index, name, &nameLength, nullptr, &type, nullptr, &bytes);
    if (result == ERROR_NO_MORE_ITEMS)
        return false;
    isString = result == ERROR_SUCCESS && type == REG_SZ;
    if (!isString)
        return true;
    // One byte more than asked for: the stored text need not end in a
    // terminator.
    std::string text(bytes + 1, '\0');
    nameLength = sizeof name;
    result = RegEnumValueA(key, index, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &bytes);
    isString = result == ERROR_SUCCESS && type == REG_SZ;
    data = text.c_str();
    return true;
}

} // namespace

TSerialPortSources SystemSerialPortSources()
{
    return {};
}

std::vector<TSerialPortValue> ReadSerialPortValues(const TSerialPortSources&)
{
    std::vector<TSerialPortValue> values;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, PortKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return values;
    bool isString = false;
    std::string data;
    for (DWORD index = 0; ReadValue(key, index, isString, data); ++index)
        if (isString)
            values.push_back({data, ResolveDevicePath(data.c_str()), {}, {}});
    RegCloseKey(key);
    return values;
}

} // namespace OrvekComm32::Platform
