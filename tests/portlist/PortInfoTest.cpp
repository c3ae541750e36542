// The port list's own rules: names and numbers, filtering, sorting by
// number, duplicates and the COM1-COM4 fallback.
#include "TCommSerialPortInfo.h"

#include <stdexcept>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace OrvekComm32;
using Platform::TSerialPortValue;
using testing::ElementsAre;

namespace {

std::vector<std::string> Names(const TCommSerialPortInfo& info)
{
    std::vector<std::string> names;
    for (int i = 0; i < info.PortList->Count(); ++i)
        names.push_back(info.PortList->Strings(i).str());
    return names;
}

TCommSerialPortInfo::TValueReader Values(std::vector<TSerialPortValue> values)
{
    return [values] { return values; };
}

TCommSerialPortInfo::TValueReader Data(std::vector<std::string> data)
{
    std::vector<TSerialPortValue> values;
    for (auto& text : data)
        values.push_back({text, "/dev/for-" + text, ""});
    return Values(values);
}

} // namespace

TEST(PortNo, ReadsTheNumberAfterCom)
{
    struct Case { const char* name; int number; };
    const Case cases[] = {
        {"COM7", 7}, {"com7", 7}, {"cOm7", 7}, {"COM 7", 7}, {"COM\t\n7", 7}, {"COM7A", 7}, {"COM+7", 7},
        {"COM12", 12}, {"COM007", 7}, {"COM2147483647", 2147483647},
        {"COM", 0}, {"CO", 0}, {"", 0}, {"COM0", 0}, {"COM-2", 0}, {"COM- 2", 0}, {"COM+", 0}, {"COMX", 0},
        {"XCOM7", 0}, {"LPT1", 0}, {"COM 7 8", 7},
        // Past the range of int: no port, rather than a wrapped-around one.
        {"COM2147483648", 0}, {"COM99999999999999999999", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TCommSerialPortInfo::PortNo(c.name), c.number) << '"' << c.name << '"';
}

TEST(PortName, FormatsAnyNumber)
{
    EXPECT_EQ(TCommSerialPortInfo::PortName(12), TOrvekString("COM12"));
    EXPECT_EQ(TCommSerialPortInfo::PortName(1), TOrvekString("COM1"));
    EXPECT_EQ(TCommSerialPortInfo::PortName(0), TOrvekString("COM0"));
    EXPECT_EQ(TCommSerialPortInfo::PortName(-3), TOrvekString("COM-3"));
    for (int number : {1, 9, 10, 99, 256, 65535})
        EXPECT_EQ(TCommSerialPortInfo::PortNo(TCommSerialPortInfo::PortName(number)), number);
}

TEST(ListFromSystem, FiltersNormalisesAndSortsByNumber)
{
    const TCommSerialPortInfo info(Data({"COM3", "com10", "COM1", "LPT1", "COMX", "COM0", "", "Com2 "}));
    EXPECT_THAT(Names(info), ElementsAre("COM1", "COM2", "COM3", "COM10"));
    // Each name keeps the device its value named.
    EXPECT_EQ(info.DevicePath(3), "/dev/for-com10");
    EXPECT_EQ(info.DevicePath(1), "/dev/for-Com2 ");
}

TEST(ListFromSystem, KeepsDuplicatesInTheOrderFound)
{
    const TCommSerialPortInfo info(Values({{"COM5", "/dev/a", "first"},
                                           {"COM2", "/dev/b", ""},
                                           {"com5", "/dev/c", "second"}}));
    EXPECT_THAT(Names(info), ElementsAre("COM2", "COM5", "COM5"));
    EXPECT_EQ(info.Description(1), "first");
    EXPECT_EQ(info.Description(2), "second");
}

TEST(Refresh, FallsBackToComOneToFourWhenNothingNamesAPort)
{
    for (const auto& reader : {Data({}), Data({"LPT1", "COMX"}), Data({"COM0", "COM-1"})}) {
        const TCommSerialPortInfo info(reader);
        EXPECT_THAT(Names(info), ElementsAre("COM1", "COM2", "COM3", "COM4"));
        EXPECT_EQ(info.DevicePath(0), "");
    }
}

TEST(Refresh, AReaderThatFailsGivesTheFallback)
{
    const TCommSerialPortInfo info([]() -> std::vector<TSerialPortValue> { throw std::runtime_error("unreadable"); });
    EXPECT_THAT(Names(info), ElementsAre("COM1", "COM2", "COM3", "COM4"));
}

TEST(Refresh, RebuildsTheListFromTheCurrentValues)
{
    std::vector<TSerialPortValue> present = {{"COM7", "/dev/x", ""}};
    TCommSerialPortInfo info([&present] { return present; });
    EXPECT_THAT(Names(info), ElementsAre("COM7"));

    present = {{"COM9", "", ""}, {"COM8", "", ""}};
    info.Refresh();
    EXPECT_THAT(Names(info), ElementsAre("COM8", "COM9"));

    // ListFromSystem alone appends and sorts the whole list again.
    present = {{"COM1", "", ""}};
    info.ListFromSystem();
    EXPECT_THAT(Names(info), ElementsAre("COM1", "COM8", "COM9"));

    present.clear();
    info.Refresh();
    EXPECT_THAT(Names(info), ElementsAre("COM1", "COM2", "COM3", "COM4"));
}

