#include "SysInfoLinux.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <pwd.h>
#include <sstream>
#include <sys/utsname.h>
#include <unistd.h>

namespace TOrvekFuncs::SysInfoLinux {
namespace {

// The value of an os-release assignment: shell-style quoting, with the
// backslash escapes the format allows inside double quotes.
std::string UnquoteValue(const std::string& value)
{
    if (value.empty() || (value[0] != '"' && value[0] != '\''))
        return value;
    const char quote = value[0];
    std::string text;
    for (std::size_t i = 1; i < value.size() && value[i] != quote; ++i) {
        if (quote == '"' && value[i] == '\\' && i + 1 < value.size())
            ++i;
        text.push_back(value[i]);
    }
    return text;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string RegisteredOwner()
{
    const long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::string buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 1024, '\0');
    passwd entry {};
    passwd* found = nullptr;
    int result;
    while ((result = getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found)) == ERANGE &&
           buffer.size() < (1u << 20))
        buffer.resize(buffer.size() * 2);
    if (result != 0 || !found)
        return {};
    const std::string fullName = FullNameOfGecos(found->pw_gecos);
    return fullName.empty() ? std::string(found->pw_name ? found->pw_name : "") : fullName;
}

} // namespace

TKernelVersion ParseKernelRelease(const std::string& release)
{
    TKernelVersion version;
    std::uint32_t* parts[] = {&version.Major, &version.Minor, &version.Patch};
    std::size_t i = 0;
    for (std::uint32_t* part : parts) {
        if (i >= release.size() || release[i] < '0' || release[i] > '9')
            break;
        std::uint64_t value = 0;
        for (; i < release.size() && release[i] >= '0' && release[i] <= '9'; ++i)
            value = std::min<std::uint64_t>(value * 10 + static_cast<unsigned>(release[i] - '0'), UINT32_MAX);
        *part = static_cast<std::uint32_t>(value);
        if (i >= release.size() || release[i] != '.')
            break;
        ++i;
    }
    return version;
}

std::string PrettyNameOfOsRelease(const std::string& text)
{
    std::istringstream lines(text);
    std::string line;
    static const std::string key = "PRETTY_NAME=";
    while (std::getline(lines, line)) {
        if (line.starts_with(key))
            return UnquoteValue(line.substr(key.size()));
    }
    return {};
}

std::string FullNameOfGecos(const char* gecos)
{
    if (!gecos)
        return {};
    const std::string field(gecos);
    return field.substr(0, field.find(','));
}

TOsFacts LinuxOsFacts(const std::vector<std::string>& osReleaseFiles)
{
    TOsFacts facts;
    utsname system {};
    if (uname(&system) == 0) {
        facts.VersionKnown = true;
        const TKernelVersion kernel = ParseKernelRelease(system.release);
        facts.MajorVersion = kernel.Major;
        facts.MinorVersion = kernel.Minor;
        facts.BuildNumber = kernel.Patch & 0xFFFF;
        facts.CsdVersion = system.machine;
        for (const std::string& file : osReleaseFiles) {
            std::ifstream probe(file);
            if (!probe)
                continue;
            facts.OsName = PrettyNameOfOsRelease(ReadFile(file));
            break;
        }
        if (facts.OsName.empty())
            facts.OsName = "Linux";
    }
    facts.RegOwner = RegisteredOwner();
    if (const char* organization = std::getenv("ORGANIZATION"))
        facts.RegOrganization = organization;
    return facts;
}

} // namespace TOrvekFuncs::SysInfoLinux

namespace TOrvekFuncs {

TOsFacts SystemOsFacts()
{
    return SysInfoLinux::LinuxOsFacts();
}

} // namespace TOrvekFuncs
