// What the library reads of the system on Windows: the port list from the
// registry, the registered owner and organisation and the version, and the
// system language. The registry tests write into the test's own Wine
// prefix and put back what they found.
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "EComm32Error.h"
#include "Lx_base.h"
#include "TCommSerialPortInfo.h"
#include "TSysInfo.h"

#include <windows.h>

namespace {

using namespace OrvekComm32;
using testing::ElementsAre;

// The values of one key, emptied for a test and put back afterwards.
class TRegistryValues {
public:
    explicit TRegistryValues(const wchar_t* path)
    {
        EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &Key, nullptr),
                  ERROR_SUCCESS);
        for (;;) {
            wchar_t name[256];
            BYTE data[1024];
            DWORD nameLength = 256, type = 0, size = sizeof data;
            if (RegEnumValueW(Key, 0, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS)
                break;
            Saved.push_back({name, type, std::vector<BYTE>(data, data + size)});
            RegDeleteValueW(Key, name);
        }
    }
    ~TRegistryValues()
    {
        Clear();
        for (const auto& value : Saved)
            RegSetValueExW(Key, value.Name.c_str(), 0, value.Type, value.Data.data(), static_cast<DWORD>(value.Data.size()));
        RegCloseKey(Key);
    }
    TRegistryValues(const TRegistryValues&) = delete;
    TRegistryValues& operator=(const TRegistryValues&) = delete;

    void Set(const std::wstring& name, const std::wstring& text)
    {
        RegSetValueExW(Key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    void SetNumber(const std::wstring& name, DWORD number)
    {
        RegSetValueExW(Key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    }
    void Clear()
    {
        wchar_t name[256];
        for (DWORD length = 256; RegEnumValueW(Key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
             length = 256)
            RegDeleteValueW(Key, name);
    }

private:
    struct TValue {
        std::wstring Name;
        DWORD Type;
        std::vector<BYTE> Data;
    };
    HKEY Key = nullptr;
    std::vector<TValue> Saved;
};

std::vector<std::string> Names(const TCommSerialPortInfo& info)
{
    std::vector<std::string> names;
    for (int i = 0; i < info.PortList->Count(); ++i)
        names.push_back(info.PortList->Strings(i).c_str());
    return names;
}

TEST(WindowsPortList, TheRegistrysPortsAreListedByNumberWithTheirDevices)
{
    TRegistryValues ports(L"HARDWARE\\DEVICEMAP\\SERIALCOMM");
    ports.Set(L"\\Device\\Serial2", L"COM3");
    ports.Set(L"\\Device\\VCP0", L"com10");
    ports.Set(L"\\Device\\Serial0", L"COM1");
    ports.Set(L"\\Device\\Parallel0", L"LPT1");
    ports.SetNumber(L"\\Device\\Odd", 5);  // not a string: skipped
    TCommSerialPortInfo info;
    EXPECT_THAT(Names(info), ElementsAre("COM1", "COM3", "COM10"));
    EXPECT_EQ(info.DevicePath(0), "\\\\.\\COM1");
    EXPECT_EQ(info.DevicePath(2), "\\\\.\\COM10");

    ports.Clear();
    ports.Set(L"\\Device\\Parallel0", L"LPT1");
    TCommSerialPortInfo fallback;
    EXPECT_THAT(Names(fallback), ElementsAre("COM1", "COM2", "COM3", "COM4"));
}

TEST(WindowsSysInfo, OwnerAndOrganisationComeFromTheRegistryAndTheVersionFromTheSystem)
{
    TRegistryValues installation(L"Software\\Microsoft\\Windows NT\\CurrentVersion");
    installation.Set(L"RegisteredOwner", L"\u5F20\u4E09 Zhang");  // 张三, kept as UTF-8
    {
        TOrvekFuncs::TSysInfo info;
        EXPECT_STREQ(info.RegOwner(), "\xE5\xBC\xA0\xE4\xB8\x89 Zhang");
        EXPECT_STREQ(info.RegOrganization(), "");
        EXPECT_EQ(info.PlatformId(), 2u);  // the NT family
        EXPECT_GE(info.MajorVersion(), 5u);
        if (info.MajorVersion() > 5) {
            EXPECT_STREQ(info.OsName(), "Windows NT");
        }
        std::printf("the system: %s %u.%02u.%04u %s\n", info.OsName(), info.MajorVersion(), info.MinorVersion(),
                    info.BuildNumber(), info.CsdVersion());
    }
    installation.Set(L"RegisteredOrganization", L"Orvek");
    TOrvekFuncs::TSysInfo info;
    EXPECT_STREQ(info.RegOrganization(), "Orvek");
}

// The script runs this test in several Linux locales, which Wine makes the
// system's default language, and names the language type each must give.
TEST(WindowsLanguage, TheSystemDefaultLanguageChoosesTheTexts)
{
    const char* expected = std::getenv("CCDL_EXPECT_LANG_TYPE");
    if (!expected)
        GTEST_SKIP() << "run by scripts/test-windows.sh with CCDL_EXPECT_LANG_TYPE";
    std::printf("system default language %04X\n", GetSystemDefaultLangID());
    EXPECT_EQ(TOrvekFuncs::AppLang.LangId(), GetSystemDefaultLangID());
    EXPECT_EQ(static_cast<int>(TOrvekFuncs::AppLang.LangType()), std::atoi(expected));
}

// The Linux hint (join the device's group) is for errno values; Windows
// error codes with the same numbers (1, 13) and a refused access (5, the
// port held by another program) get none.
TEST(WindowsFailureTexts, NoSystemErrorGetsTheDeviceGroupHint)
{
    for (DWORD error : {DWORD{ERROR_INVALID_FUNCTION}, DWORD{ERROR_ACCESS_DENIED}, DWORD{ERROR_INVALID_DATA}})
        EXPECT_TRUE(EComm32Error(EComm32Error::ecOpenPort, static_cast<int>(error), "\\\\.\\COM1: x").Hint().IsEmpty())
            << error;
}

} // namespace
