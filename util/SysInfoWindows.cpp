// Where TSysInfo's facts come from on Windows: the version query (the ANSI
// form, a 148-byte record) and the registered owner and organisation of the
// installation. The registry texts are read in UTF-16 and kept in UTF-8,
// the coding of every other text the library hands out.
#include "TSysInfo.h"

#include <windows.h>

namespace TOrvekFuncs {
namespace {

static_assert(sizeof(OSVERSIONINFOA) == 148);

std::string Utf8Of(const wchar_t* text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return {};
    std::string result(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), size, nullptr, nullptr);
    result.resize(static_cast<std::size_t>(size - 1));
    return result;
}

// A string value of an open key; empty when it is missing or not a string.
std::string StringValue(HKEY key, const wchar_t* name)
{
    DWORD type = 0, bytes = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    // One character more than asked for: the stored text need not end in
    // a terminator.
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &bytes) != ERROR_SUCCESS)
        return {};
    return Utf8Of(text.c_str());
}

} // namespace

TOsFacts SystemOsFacts()
{
    TOsFacts facts;
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (GetVersionExA(&version)) {
        TWindowsVersionInfo info;
        info.PlatformId = version.dwPlatformId;
        info.MajorVersion = version.dwMajorVersion;
        info.MinorVersion = version.dwMinorVersion;
        info.BuildNumber = version.dwBuildNumber;
        info.CsdVersion = version.szCSDVersion;
        facts = OsFactsFromWindowsVersion(info);
    }
    // A failed query is taken as a system outside the NT family.
    const wchar_t* keyName = facts.PlatformId == VER_PLATFORM_WIN32_NT ? L"Software\\Microsoft\\Windows NT\\CurrentVersion"
                                                                       : L"Software\\Microsoft\\Windows\\CurrentVersion";
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyName, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
        facts.RegOwner = StringValue(key, L"RegisteredOwner");
        facts.RegOrganization = StringValue(key, L"RegisteredOrganization");
        RegCloseKey(key);
    }
    return facts;
}

} // namespace TOrvekFuncs
