#include "TSysInfo.h"

#include <cstring>

namespace TOrvekFuncs {
namespace {

// Copies at most TextSize - 1 bytes, never ending inside a UTF-8 sequence.
void CopyText(char (&field)[TSysInfo::TextSize], const std::string& text)
{
    std::size_t length = text.size();
    if (length >= TSysInfo::TextSize) {
        length = TSysInfo::TextSize - 1;
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
            --length;
    }
    std::memcpy(field, text.data(), length);
    field[length] = '\0';
}

} // namespace

std::string WindowsOsName(const TWindowsVersionInfo& version)
{
    std::string name = "Windows";
    const std::uint32_t major = version.MajorVersion, minor = version.MinorVersion;
    const std::uint32_t build = version.BuildNumber & 0xFFFF;
    if (version.PlatformId == VER_PLATFORM_WIN32_NT) {
        if (major == 5 && minor == 0)
            name += " 2000";
        else if (major == 5 && minor == 1)
            name += " XP";
        else if (major == 5 && minor == 2)
            name += " 2003";
        else
            name += " NT";
    } else if (major == 4) {
        if (minor == 0)
            name += build >= 1111 ? " 95 OSR2" : " 95";
        else if (minor == 10)
            name += build >= 2222 ? " 98 SE" : " 98";
        else if (minor == 90)
            name += " ME";
    }
    return name;
}

TOsFacts OsFactsFromWindowsVersion(const TWindowsVersionInfo& version)
{
    TOsFacts facts;
    facts.VersionKnown = true;
    facts.PlatformId = version.PlatformId;
    facts.MajorVersion = version.MajorVersion;
    facts.MinorVersion = version.MinorVersion;
    facts.BuildNumber = version.BuildNumber & 0xFFFF;
    facts.OsName = WindowsOsName(version);
    if (version.PlatformId == VER_PLATFORM_WIN32_NT)
        facts.CsdVersion = version.CsdVersion;
    return facts;
}

TSysInfo::TSysInfo() : TSysInfo(SystemOsFacts) {}

TSysInfo::TSysInfo(TQuery query) : Query(std::move(query)) {}

void TSysInfo::fGetOsInfo()
{
    const TOsFacts facts = Query ? Query() : TOsFacts{};
    if (facts.VersionKnown) {
        FPlatformId = facts.PlatformId;
        FMajorVersion = facts.MajorVersion;
        FMinorVersion = facts.MinorVersion;
        FBuildNumber = facts.BuildNumber & 0xFFFF;
        CopyText(FOsName, facts.OsName);
        CopyText(FCsdVersion, facts.CsdVersion);
    }
    CopyText(FRegOwner, facts.RegOwner);
    CopyText(FRegOrganization, facts.RegOrganization);
    FLoaded = true;
}

} // namespace TOrvekFuncs
