#include "PortNames.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <string_view>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

#include "TextFile.h"

namespace OrvekComm32::Platform {
namespace {

struct DeviceFamily { const char* prefix; int firstCom; };

// Each family covers 32 COM numbers.
constexpr DeviceFamily Families[] = {{"ttyS", 1}, {"ttyUSB", 33}, {"ttyACM", 65}};
constexpr int FamilySize = 32;

// A decimal number made only of digits, without leading zeros beyond "0".
int ParseIndex(std::string_view digits)
{
    if (digits.empty() || digits.size() > 6 || (digits.size() > 1 && digits[0] == '0'))
        return -1;
    int value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

// A link directory entry: a symbolic link is followed by open() itself; a
// regular file holds the device path on its first line.
std::string LinkEntryTarget(const std::string& entry)
{
    struct stat status {};
    if (lstat(entry.c_str(), &status) != 0)
        return {};
    if (S_ISLNK(status.st_mode))
        return entry;
    if (!S_ISREG(status.st_mode))
        return {};
    return ReadFirstLine(entry);
}

} // namespace

std::string PortLinkDirectory()
{
    if (const char* dir = std::getenv("CCDL_PORT_DIR"); dir && *dir)
        return dir;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
        return std::string(runtime) + "/ccdownload/ports";
    return "/tmp/ccdownload-" + std::to_string(getuid()) + "/ports";
}

namespace {

std::string ParentOf(const std::string& dir)
{
    const std::size_t end = dir.find_last_not_of('/');
    if (end == std::string::npos)
        return "/";
    const std::size_t slash = dir.rfind('/', end);
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : dir.substr(0, slash);
}

// Empty when no one but this user (or root) can change what `path` holds.
std::string UnsafeBecause(const std::string& path, bool rootStickyWillDo)
{
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0)
        return path + ": " + std::strerror(errno);
    if (!S_ISDIR(status.st_mode))
        return path + " is not a directory";
    const bool rootSticky = rootStickyWillDo && status.st_uid == 0 && (status.st_mode & S_ISVTX);
    if (rootSticky)
        return {};
    if (status.st_uid != getuid())
        return path + " belongs to another user";
    if (status.st_mode & S_IWOTH)
        return path + " may be written by every user";
    if (status.st_mode & S_IWGRP)
        return path + " may be written by its group";
    return {};
}

} // namespace

std::string UntrustedLinkDirectoryReason(const std::string& dir)
{
    if (std::string reason = UnsafeBecause(dir, false); !reason.empty())
        return reason;
    return UnsafeBecause(ParentOf(dir), true);
}

std::string TrustedPortLinkDirectory()
{
    const std::string dir = PortLinkDirectory();
    const std::string reason = UntrustedLinkDirectoryReason(dir);
    if (reason.empty())
        return dir;
    // A directory that does not exist holds no links to distrust.
    struct stat status {};
    if (lstat(dir.c_str(), &status) != 0 && errno == ENOENT)
        return {};
    static std::mutex mutex;
    static std::set<std::string> told;
    const std::string line = "Port links in " + dir + " are ignored: " + reason + ".\n";
    const std::lock_guard lock(mutex);
    if (told.insert(line).second)
        std::fputs(line.c_str(), stderr);
    return {};
}

std::string MakePortLinkDirectory()
{
    const std::string dir = PortLinkDirectory();
    std::vector<std::string> missing;
    struct stat status {};
    for (std::string path = dir; lstat(path.c_str(), &status) != 0 && errno == ENOENT && path != ParentOf(path);
         path = ParentOf(path))
        missing.push_back(path);
    for (auto path = missing.rbegin(); path != missing.rend(); ++path)
        if (mkdir(path->c_str(), 0700) != 0 && errno != EEXIST)
            return "cannot make " + *path + ": " + std::strerror(errno);
    const std::string reason = UntrustedLinkDirectoryReason(dir);
    return reason.empty() ? reason : "the port link directory cannot be trusted: " + reason;
}

int ComNumberOfDeviceName(const char* deviceName)
{
    if (!deviceName)
        return 0;
    std::string_view name(deviceName);
    if (name.starts_with("\\\\.\\"))
        name.remove_prefix(4);
    if (name.size() < 4 || strncasecmp(name.data(), "COM", 3) != 0)
        return 0;
    const int number = ParseIndex(name.substr(3));
    return number > 0 ? number : 0;
}

std::string FixedDeviceOfComNumber(int comNumber)
{
    for (const auto& family : Families)
        if (comNumber >= family.firstCom && comNumber < family.firstCom + FamilySize)
            return std::string("/dev/") + family.prefix + std::to_string(comNumber - family.firstCom);
    return {};
}

int ComNumberOfFixedDevice(const std::string& ttyName)
{
    // Longest prefixes first would matter only if one prefix began another
    // with digits following; "ttyS" and "ttyUSB" differ at the fourth letter.
    for (const auto& family : Families) {
        const std::string_view prefix(family.prefix);
        if (!std::string_view(ttyName).starts_with(prefix))
            continue;
        const int index = ParseIndex(std::string_view(ttyName).substr(prefix.size()));
        if (index >= 0 && index < FamilySize)
            return family.firstCom + index;
    }
    return 0;
}

std::string ResolveDevicePath(const char* deviceName)
{
    const int number = ComNumberOfDeviceName(deviceName);
    if (number == 0)
        return deviceName && std::strchr(deviceName, '/') ? deviceName : std::string();
    if (const std::string dir = TrustedPortLinkDirectory(); !dir.empty()) {
        const std::string linked = LinkEntryTarget(dir + "/COM" + std::to_string(number));
        if (!linked.empty())
            return linked;
    }
    return FixedDeviceOfComNumber(number);
}

} // namespace OrvekComm32::Platform
