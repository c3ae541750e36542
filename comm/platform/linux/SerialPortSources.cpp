// The serial port list's sources on Linux: the port link directory and
// sysfs. Only directory listings, link targets and small attribute files
// are read; no device node is opened.
#include "SerialPortSources.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <sys/stat.h>

#include "PortNames.h"
#include "TextFile.h"

namespace OrvekComm32::Platform {
namespace fs = std::filesystem;
namespace {

// The 8250 driver's code for a UART it could not identify: the port was
// registered from a legacy table and has no hardware behind it.
constexpr int UartTypeUnknown = 0;

// How far above a tty's device node the USB device with its descriptors
// lies (ttyUSB: port, interface, device; ttyACM: interface, device).
constexpr int UsbDeviceSearchDepth = 3;

bool Exists(const fs::path& path)
{
    struct stat status {};
    return stat(path.c_str(), &status) == 0;
}

// The entries of a directory, or none when it cannot be listed.
std::vector<std::string> EntryNames(const fs::path& dir)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
    return names;
}

bool ByPortNumber(const TSerialPortValue& a, const TSerialPortValue& b)
{
    return ComNumberOfDeviceName(a.Data.c_str()) < ComNumberOfDeviceName(b.Data.c_str());
}

// "Manufacturer Product" of the USB device at or above a tty's device node.
std::string UsbDescription(const fs::path& deviceNode, const fs::path& sysfsRoot)
{
    std::error_code ec;
    fs::path dir = fs::canonical(deviceNode, ec);
    const fs::path root = fs::canonical(sysfsRoot, ec);
    if (dir.empty() || root.empty())
        return {};
    for (int level = 0; level < UsbDeviceSearchDepth && dir != root && dir.has_relative_path();
         ++level, dir = dir.parent_path()) {
        if (!Exists(dir / "idVendor"))
            continue;
        const std::string manufacturer = ReadFirstLine(dir / "manufacturer");
        const std::string product = ReadFirstLine(dir / "product");
        if (manufacturer.empty() && product.empty())
            return "USB " + ReadFirstLine(dir / "idVendor") + ":" + ReadFirstLine(dir / "idProduct");
        if (manufacturer.empty() || product.starts_with(manufacturer))
            return product;
        return product.empty() ? manufacturer : manufacturer + " " + product;
    }
    return {};
}

std::string SysfsTtyDescription(const std::string& ttyName, const fs::path& sysfsRoot)
{
    return UsbDescription(sysfsRoot / "class" / "tty" / ttyName / "device", sysfsRoot);
}

// A link directory entry's device: a symbolic link's target, or the path a
// regular file holds. Empty when the entry is neither or the device is gone.
std::string LinkEntryDevice(const fs::path& entry)
{
    struct stat status {};
    if (lstat(entry.c_str(), &status) != 0)
        return {};
    std::string target;
    if (S_ISLNK(status.st_mode)) {
        std::error_code ec;
        fs::path link = fs::read_symlink(entry, ec);
        if (ec)
            return {};
        target = (link.is_absolute() ? link : entry.parent_path() / link).lexically_normal().string();
    } else if (S_ISREG(status.st_mode)) {
        target = ReadFirstLine(entry);
    }
    return !target.empty() && Exists(target) ? target : std::string();
}

// "ttyUSB0" for /dev/ttyUSB0, "pts/3" for /dev/pts/3: the name the system
// gives the device, which tells two adapters apart.
std::string DeviceNodeOf(const fs::path& canonical)
{
    const fs::path relative = canonical.lexically_relative("/dev");
    if (relative.empty() || relative.begin()->string() == "..")
        return canonical.filename().string();
    return relative.string();
}

void AppendLinkDirectoryValues(const TSerialPortSources& sources, std::vector<TSerialPortValue>& values)
{
    std::vector<TSerialPortValue> found;
    for (const std::string& name : EntryNames(sources.LinkDirectory)) {
        // The engine looks entries up by exactly this spelling.
        const int number = ComNumberOfDeviceName(name.c_str());
        if (number == 0 || name != "COM" + std::to_string(number))
            continue;
        const std::string device = LinkEntryDevice(fs::path(sources.LinkDirectory) / name);
        if (device.empty())
            continue;
        std::error_code ec;
        const fs::path canonical = fs::canonical(device, ec);
        const std::string node = canonical.filename().string();
        found.push_back({name, device, node.empty() ? std::string() : SysfsTtyDescription(node, sources.SysfsRoot),
                         DeviceNodeOf(canonical)});
    }
    std::sort(found.begin(), found.end(), ByPortNumber);
    values.insert(values.end(), found.begin(), found.end());
}

bool IsPhantomLegacyPort(const std::string& ttyName, const fs::path& ttyDir)
{
    if (!ttyName.starts_with("ttyS"))
        return false;
    const std::string type = ReadFirstLine(ttyDir / "type");
    return type == std::to_string(UartTypeUnknown);
}

// A COM number that the link directory names always opens the linked
// device, so the fixed map's device of that number is never reached through
// it and is not listed.
void AppendSysfsValues(const TSerialPortSources& sources, std::vector<TSerialPortValue>& values)
{
    std::set<int> linked;
    for (const TSerialPortValue& value : values)
        linked.insert(ComNumberOfDeviceName(value.Data.c_str()));
    const fs::path classTty = fs::path(sources.SysfsRoot) / "class" / "tty";
    std::vector<TSerialPortValue> found;
    for (const std::string& name : EntryNames(classTty)) {
        const int number = ComNumberOfFixedDevice(name);
        const fs::path ttyDir = classTty / name;
        // Virtual terminals have no device behind them.
        if (number == 0 || linked.count(number) || !Exists(ttyDir / "device") || IsPhantomLegacyPort(name, ttyDir))
            continue;
        found.push_back({"COM" + std::to_string(number), "/dev/" + name, SysfsTtyDescription(name, sources.SysfsRoot), name});
    }
    std::sort(found.begin(), found.end(), ByPortNumber);
    values.insert(values.end(), found.begin(), found.end());
}

} // namespace

TSerialPortSources SystemSerialPortSources()
{
    return {TrustedPortLinkDirectory(), "/sys"};
}

std::vector<TSerialPortValue> ReadSerialPortValues(const TSerialPortSources& sources)
{
    std::vector<TSerialPortValue> values;
    AppendLinkDirectoryValues(sources, values);
    AppendSysfsValues(sources, values);
    return values;
}

} // namespace OrvekComm32::Platform
