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

TEST(ListFromSystem, FiltersNormalisesSortsByNumberAndKeepsDuplicates)
{
    const TCommSerialPortInfo info(Data({"COM3", "com10", "COM1", "LPT1", "COMX", "COM0", "", "Com2 "}));
    EXPECT_THAT(Names(info), ElementsAre("COM1", "COM2", "COM3", "COM10"));
    // Each name keeps the device its value named.
    EXPECT_EQ(info.DevicePath(3), "/dev/for-com10");
    EXPECT_EQ(TCommSerialPortInfo::PortName(-3), TOrvekString("COM-3"));

    const TCommSerialPortInfo twice(Values({{"COM5", "/dev/a", "first"}, {"COM2", "/dev/b", ""},
                                            {"com5", "/dev/c", "second"}}));
    EXPECT_THAT(Names(twice), ElementsAre("COM2", "COM5", "COM5"));
    EXPECT_EQ(twice.Description(1), "first");
    EXPECT_EQ(twice.Description(2), "second");
}

// Nothing that names a port, or a reader that fails, gives COM1 to COM4;
// Refresh rebuilds from the current values, ListFromSystem appends.
TEST(Refresh, RebuildsFromTheCurrentValuesAndFallsBackToComOneToFour)
{
    const TCommSerialPortInfo failing([]() -> std::vector<TSerialPortValue> { throw std::runtime_error("no"); });
    EXPECT_THAT(Names(failing), ElementsAre("COM1", "COM2", "COM3", "COM4"));
    EXPECT_EQ(failing.DevicePath(0), "");

    std::vector<TSerialPortValue> present = {{"COM9", "", ""}, {"COM8", "", ""}};
    TCommSerialPortInfo info([&present] { return present; });
    EXPECT_THAT(Names(info), ElementsAre("COM8", "COM9"));
    present = {{"COM1", "", ""}};
    info.ListFromSystem();
    EXPECT_THAT(Names(info), ElementsAre("COM1", "COM8", "COM9"));
    present = {{"LPT1", "", ""}, {"COM0", "", ""}};
    info.Refresh();
    EXPECT_THAT(Names(info), ElementsAre("COM1", "COM2", "COM3", "COM4"));
}
