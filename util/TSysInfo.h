#pragma once
// The machine's operating system and registered user, for the about box:
// gathered once, on first use.
//
// Texts are in UTF-8 (on Windows converted from the system's) and hold at most
// 255 bytes, cut at a character boundary.
//
// Threads: distinct objects may be used on any thread; one object is not
// safe to use from two threads at once (the first read fills the fields).

#include <cstdint>
#include <functional>
#include <string>

namespace TOrvekFuncs {

// What the operating system reports, before it is stored.
struct TOsFacts {
    bool VersionKnown = false;   // false: the version query failed
    std::uint32_t PlatformId = 0;
    std::uint32_t MajorVersion = 0;
    std::uint32_t MinorVersion = 0;
    std::uint32_t BuildNumber = 0;
    std::string OsName;
    std::string CsdVersion;
    std::string RegOwner;        // empty when unknown
    std::string RegOrganization; // empty when unknown
};

// A Windows version record, as the version query fills it.
struct TWindowsVersionInfo {
    std::uint32_t PlatformId = 0;   // 2 for the NT family
    std::uint32_t MajorVersion = 0;
    std::uint32_t MinorVersion = 0;
    std::uint32_t BuildNumber = 0;
    std::string CsdVersion;         // the service pack, e.g. "Service Pack 2"
};

constexpr std::uint32_t VER_PLATFORM_WIN32_NT = 2;

// "Windows XP", "Windows 95 OSR2", "Windows NT", ... by the version.
std::string WindowsOsName(const TWindowsVersionInfo& version);
// The facts of a Windows version record: its numbers (the build's low 16
// bits), its name, and the service pack on the NT family only.
TOsFacts OsFactsFromWindowsVersion(const TWindowsVersionInfo& version);

// The facts of this system (the platform's piece).
TOsFacts SystemOsFacts();

class TSysInfo {
public:
    using TQuery = std::function<TOsFacts()>;

    static constexpr std::size_t TextSize = 256;   // bytes of each text field, terminator included

    // Gathers from this system on first use.
    TSysInfo();
    // Gathers from the query on first use.
    explicit TSysInfo(TQuery query);

    std::uint32_t PlatformId() { _Load(); return FPlatformId; }
    const char* OsName() { _Load(); return FOsName; }
    std::uint32_t MajorVersion() { _Load(); return FMajorVersion; }
    std::uint32_t MinorVersion() { _Load(); return FMinorVersion; }
    std::uint32_t BuildNumber() { _Load(); return FBuildNumber; }
    const char* CsdVersion() { _Load(); return FCsdVersion; }
    const char* RegOwner() { _Load(); return FRegOwner; }
    const char* RegOrganization() { _Load(); return FRegOrganization; }
    bool Loaded() const { return FLoaded; }

    // Gathers every field and sets Loaded. A failed version query leaves
    // the version fields as they were.
    void fGetOsInfo();

private:
    void _Load() { if (!FLoaded) fGetOsInfo(); }

    TQuery Query;
    std::uint32_t FPlatformId = 0;
    char FOsName[TextSize] = {};
    std::uint32_t FMajorVersion = 0;
    std::uint32_t FMinorVersion = 0;
    std::uint32_t FBuildNumber = 0;
    char FCsdVersion[TextSize] = {};
    char FRegOwner[TextSize] = {};
    char FRegOrganization[TextSize] = {};
    bool FLoaded = false;
};

} // namespace TOrvekFuncs
