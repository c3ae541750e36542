// The operating-system facts of the about box: the Windows naming rule,
// lazy gathering, the 255-byte texts and the Linux sources.
#include "SysInfoLinux.h"
#include "TSysInfo.h"

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <string>
#include <sys/utsname.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace TOrvekFuncs;
namespace fs = std::filesystem;

namespace {

TWindowsVersionInfo Nt(std::uint32_t major, std::uint32_t minor, std::uint32_t build, std::string csd = "")
{
    return {VER_PLATFORM_WIN32_NT, major, minor, build, std::move(csd)};
}

TWindowsVersionInfo Win9x(std::uint32_t minor, std::uint32_t build)
{
    return {1, 4, minor, build, "A"};
}

} // namespace

TEST(WindowsOsName, NamesByFamilyVersionAndBuild)
{
    struct Case { TWindowsVersionInfo version; const char* name; };
    for (const Case& c : {Case{Nt(5, 0, 2195), "Windows 2000"}, Case{Nt(5, 1, 2600), "Windows XP"},
                          Case{Nt(5, 2, 3790), "Windows 2003"}, Case{Nt(4, 0, 1381), "Windows NT"},
                          Case{Nt(6, 0, 6000), "Windows NT"}, Case{Nt(5, 3, 1), "Windows NT"},
                          Case{Win9x(0, 1110), "Windows 95"}, Case{Win9x(0, 1111), "Windows 95 OSR2"},
                          Case{Win9x(10, 2221), "Windows 98"}, Case{Win9x(10, 2222), "Windows 98 SE"},
                          Case{Win9x(90, 3000), "Windows ME"}, Case{Win9x(3, 3000), "Windows"},
                          Case{{1, 3, 95, 3000, ""}, "Windows"},
                          // Only the build's low 16 bits are the build.
                          Case{Win9x(0, 0x040003B6), "Windows 95"}})
        EXPECT_EQ(WindowsOsName(c.version), c.name) << c.version.MajorVersion << '.' << c.version.MinorVersion;
    // The service pack is kept on the NT family only.
    EXPECT_EQ(OsFactsFromWindowsVersion(Nt(5, 1, 2600, "Service Pack 2")).CsdVersion, "Service Pack 2");
    EXPECT_EQ(OsFactsFromWindowsVersion(Win9x(0, 0x04000457)).CsdVersion, "");
}

TEST(TSysInfo, GathersOnceOnFirstReadAndKeepsWholeCharactersOfAtMost255Bytes)
{
    int queries = 0;
    TOsFacts facts = OsFactsFromWindowsVersion(Nt(5, 1, 2600, "Service Pack 2"));
    facts.RegOwner = std::string(254, 'a') + "\xC3\xA9";               // é straddles byte 255
    facts.RegOrganization = std::string(252, 'b') + "\xE5\xAD\x97";   // 字 ends at byte 255
    TSysInfo info([&] {
        ++queries;
        return facts;
    });
    EXPECT_EQ(queries, 0);
    EXPECT_STREQ(info.OsName(), "Windows XP");
    EXPECT_EQ(std::string(info.RegOwner()), std::string(254, 'a'));
    EXPECT_EQ(std::string(info.RegOrganization()), facts.RegOrganization);
    EXPECT_EQ(queries, 1);

    // A failed version query keeps the user.
    facts.VersionKnown = false;
    facts.RegOwner = "Ann Lee";
    TSysInfo failed([facts] { return facts; });
    EXPECT_STREQ(failed.OsName(), "");
    EXPECT_STREQ(failed.RegOwner(), "Ann Lee");
}

TEST(SysInfoLinux, KernelReleaseOsReleaseAndGecosAreParsed)
{
    struct Case { const char* release; std::uint32_t major, minor, patch; };
    const Case cases[] = {
        {"6.8.0-45-generic", 6, 8, 0}, {"5.15.153.1-microsoft-standard-WSL2", 5, 15, 153},
        {"6.1.0-rc3", 6, 1, 0}, {"3", 3, 0, 0}, {"abc", 0, 0, 0}, {"99999999999.2.3", UINT32_MAX, 2, 3},
    };
    for (const Case& c : cases) {
        const auto version = SysInfoLinux::ParseKernelRelease(c.release);
        EXPECT_EQ((std::array{version.Major, version.Minor, version.Patch}), (std::array{c.major, c.minor, c.patch}))
            << c.release;
    }
    // The pretty name is unquoted; the full name is the first comment field.
    using SysInfoLinux::PrettyNameOfOsRelease;
    EXPECT_EQ(PrettyNameOfOsRelease("NAME=\"Debian\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"),
              "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(PrettyNameOfOsRelease("PRETTY_NAME='Single Quoted'\n"), "Single Quoted");
    EXPECT_EQ(PrettyNameOfOsRelease("PRETTY_NAME=\"Say \\\"hi\\\" \\\\o/\"\n"), "Say \"hi\" \\o/");
    EXPECT_EQ(PrettyNameOfOsRelease("#PRETTY_NAME=\"Commented\"\nXPRETTY_NAME=No\n"), "");
    EXPECT_EQ(SysInfoLinux::FullNameOfGecos("Ann Lee,Room 12,555-1234,"), "Ann Lee");
    EXPECT_EQ(SysInfoLinux::FullNameOfGecos(nullptr), "");
}

TEST(SysInfoLinux, FactsComeFromUnameOsReleaseAndThePasswordDatabase)
{
    const fs::path osRelease = fs::temp_directory_path() / ("ccdl-os-release-" + std::to_string(getpid()));
    std::ofstream(osRelease) << "NAME=Test\nPRETTY_NAME=\"Test Linux 1.0\"\n";
    const char* savedOrganization = std::getenv("ORGANIZATION");
    const std::string saved = savedOrganization ? savedOrganization : "";
    setenv("ORGANIZATION", "Acme Works", 1);
    const TOsFacts facts = SysInfoLinux::LinuxOsFacts({"/nonexistent/os-release", osRelease.string()});
    const TOsFacts plain = SysInfoLinux::LinuxOsFacts({"/nonexistent/os-release"});
    savedOrganization ? setenv("ORGANIZATION", saved.c_str(), 1) : unsetenv("ORGANIZATION");
    fs::remove(osRelease);

    utsname system {};
    ASSERT_EQ(uname(&system), 0);
    const auto kernel = SysInfoLinux::ParseKernelRelease(system.release);
    EXPECT_EQ(facts.OsName, "Test Linux 1.0");
    EXPECT_EQ(facts.BuildNumber, kernel.Patch & 0xFFFF);
    EXPECT_EQ(facts.CsdVersion, system.machine);
    EXPECT_EQ(facts.RegOrganization, "Acme Works");
    EXPECT_EQ(plain.OsName, "Linux");

    const passwd* entry = getpwuid(geteuid());
    ASSERT_NE(entry, nullptr);
    const std::string fullName = SysInfoLinux::FullNameOfGecos(entry->pw_gecos);
    EXPECT_EQ(facts.RegOwner, fullName.empty() ? std::string(entry->pw_name) : fullName);
}
