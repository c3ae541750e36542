// The operating-system facts of the about box: the Windows naming rule,
// lazy gathering, the 255-byte texts and the Linux sources.
#include "SysInfoLinux.h"
#include "TSysInfo.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <pwd.h>
#include <string>
#include <sys/utsname.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace TOrvekFuncs;
namespace fs = std::filesystem;

// The Windows 9x family is platform 1, major version 4.
TEST(WindowsOsName, NamesByFamilyVersionAndBuild)
{
    struct Case { TWindowsVersionInfo version; const char* name; };
    for (const Case& c : {Case{{2, 5, 0, 2195, ""}, "Windows 2000"}, Case{{2, 5, 1, 2600, ""}, "Windows XP"},
                          Case{{2, 5, 2, 3790, ""}, "Windows 2003"}, Case{{2, 4, 0, 1381, ""}, "Windows NT"},
                          Case{{2, 6, 0, 6000, ""}, "Windows NT"}, Case{{2, 5, 3, 1, ""}, "Windows NT"},
                          Case{{1, 4, 0, 1110, ""}, "Windows 95"}, Case{{1, 4, 0, 1111, ""}, "Windows 95 OSR2"},
                          Case{{1, 4, 10, 2221, ""}, "Windows 98"}, Case{{1, 4, 10, 2222, ""}, "Windows 98 SE"},
                          Case{{1, 4, 90, 3000, ""}, "Windows ME"}, Case{{1, 4, 3, 3000, ""}, "Windows"},
                          Case{{1, 3, 95, 3000, ""}, "Windows"},
                          // Only the build's low 16 bits are the build.
                          Case{{1, 4, 0, 0x040003B6, ""}, "Windows 95"}})
        EXPECT_EQ(WindowsOsName(c.version), c.name) << c.version.MajorVersion << '.' << c.version.MinorVersion;
}

TEST(TSysInfo, GathersOnceOnFirstReadAndKeepsWholeCharactersOfAtMost255Bytes)
{
    int queries = 0;
    TOsFacts facts = OsFactsFromWindowsVersion({2, 5, 1, 2600, ""});
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

// The organisation from the environment is checked by the about box's tests.
TEST(SysInfoLinux, FactsComeFromUnameOsReleaseAndThePasswordDatabase)
{
    const fs::path osRelease = fs::temp_directory_path() / ("ccdl-os-release-" + std::to_string(getpid()));
    std::ofstream(osRelease) << "NAME=Test\nPRETTY_NAME=\"Test Linux 1.0\"\n";
    const TOsFacts facts = SysInfoLinux::LinuxOsFacts({"/nonexistent/os-release", osRelease.string()});
    fs::remove(osRelease);
    EXPECT_EQ(facts.OsName, "Test Linux 1.0");
    EXPECT_EQ(SysInfoLinux::LinuxOsFacts({"/nonexistent/os-release"}).OsName, "Linux");

    // The expectations are taken from the system here, apart from the
    // parsers under test: the release's first three numbers, the gecos
    // field up to its first comma (the login name when that is empty).
    utsname system {};
    ASSERT_EQ(uname(&system), 0);
    std::istringstream release(system.release);
    std::uint32_t major = 0, minor = 0, patch = 0;
    char dot;
    release >> major >> dot >> minor >> dot >> patch;
    EXPECT_TRUE(facts.VersionKnown);
    EXPECT_EQ((std::array{facts.MajorVersion, facts.MinorVersion, facts.BuildNumber}),
              (std::array{major, minor, patch & 0xFFFF})) << system.release;
    EXPECT_EQ(facts.CsdVersion, system.machine);
    const passwd* entry = getpwuid(geteuid());
    ASSERT_NE(entry, nullptr);
    const std::string gecos = entry->pw_gecos ? entry->pw_gecos : "";
    const std::string fullName = gecos.substr(0, gecos.find(','));
    EXPECT_EQ(facts.RegOwner, fullName.empty() ? std::string(entry->pw_name) : fullName);
}
