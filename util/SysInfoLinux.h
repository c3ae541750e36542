#pragma once
// Where TSysInfo's facts come from on Linux: uname for the kernel version
// and the machine, os-release for the distribution's name, the password
// database for the user's full name, ORGANIZATION for the organisation.
// The kernel's major.minor.patch fill the three version numbers and the
// machine architecture the service-pack text; PlatformId stays 0, as no
// Windows platform applies.
//
// Threads: all functions may be called from any thread.

#include <cstdint>
#include <string>
#include <vector>

#include "TSysInfo.h"

namespace TOrvekFuncs::SysInfoLinux {

struct TKernelVersion { std::uint32_t Major = 0, Minor = 0, Patch = 0; };

// "6.8.0-45-generic" gives 6, 8, 0; numbers that are missing give 0.
TKernelVersion ParseKernelRelease(const std::string& release);

// PRETTY_NAME of an os-release text, unquoted; empty when it has none.
std::string PrettyNameOfOsRelease(const std::string& text);

// The full name of a password entry's comment field ("Ann Lee,Room 1,,").
std::string FullNameOfGecos(const char* gecos);

// The facts of this system, reading the first of the os-release files that
// exists.
TOsFacts LinuxOsFacts(const std::vector<std::string>& osReleaseFiles = {"/etc/os-release", "/usr/lib/os-release"});

} // namespace TOrvekFuncs::SysInfoLinux
