// The port list's Linux sources: the port link directory and a sysfs tree
// built in a temporary folder.
#include "SerialPortSources.h"
#include "TCommSerialPortInfo.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "FakeSysfs.h"
#include "PortNames.h"
#include "PtyPort.h"

using namespace OrvekComm32;
using namespace portlisttest;
using Platform::TSerialPortSources;
using Platform::TSerialPortValue;
using testing::ElementsAre;
namespace fs = std::filesystem;

namespace {

std::string Describe(const std::vector<TSerialPortValue>& values)
{
    std::string text;
    for (const auto& value : values)
        text += value.Data + "|" + value.DevicePath + "|" + value.Description + "\n";
    return text;
}

class LinuxSources : public testing::Test {
protected:
    TSerialPortSources Sources() const { return {Links.Path(), Sysfs.Root()}; }
    std::vector<TSerialPortValue> Read() const { return Platform::ReadSerialPortValues(Sources()); }

    // A stand-in device node that exists, for link targets.
    std::string Device(const std::string& name)
    {
        const std::string path = Devices.Path() + "/" + name;
        WriteFile(path, "");
        return path;
    }
    void Link(const std::string& entry, const std::string& target)
    {
        fs::create_symlink(target, Links.Path() + "/" + entry);
    }

    testsupport::PortDirectory Links;
    FakeSysfs Sysfs;
    TempDir Devices;
};

} // namespace

TEST_F(LinuxSources, SysfsGivesSerialDevicesByTheFixedMap)
{
    Sysfs.AddLegacyUart("ttyS0", 4);          // a 16550A
    Sysfs.AddLegacyUart("ttyS1", 0);          // registered, no hardware
    Sysfs.AddLegacyUart("ttyS2", -1);         // no type attribute: kept
    Sysfs.AddLegacyUart("ttyS40", 4);         // outside the map
    Sysfs.AddUsbSerial("ttyUSB1", "1-3", "1a86", "7523", "", "");
    Sysfs.AddUsbSerial("ttyUSB0", "1-1", "0403", "6001", "FTDI", "FT232R USB UART");
    Sysfs.AddUsbAcm("ttyACM0", "1-2", "Board CDC");
    // The manufacturer is not repeated when the product names it.
    Sysfs.AddUsbSerial("ttyUSB2", "1-5", "067b", "2303", "Prolific", "Prolific USB-Serial Controller");
    Sysfs.AddUsbSerial("ttyUSB3", "1-4", "10c4", "ea60", "Silicon Labs", "");
    Sysfs.AddVirtualTerminal("tty0");
    Sysfs.AddVirtualTerminal("ttyS3");        // a ttyS name with no device

    EXPECT_EQ(Describe(Read()),
              "COM1|/dev/ttyS0|\n"
              "COM3|/dev/ttyS2|\n"
              "COM33|/dev/ttyUSB0|FTDI FT232R USB UART\n"
              "COM34|/dev/ttyUSB1|USB 1a86:7523\n"
              "COM35|/dev/ttyUSB2|Prolific USB-Serial Controller\n"
              "COM36|/dev/ttyUSB3|Silicon Labs\n"
              "COM65|/dev/ttyACM0|Board CDC\n");
}

TEST_F(LinuxSources, LinkDirectoryEntriesComeFirstAndKeepTheirTargets)
{
    Sysfs.AddLegacyUart("ttyS0", 4);
    Sysfs.AddUsbSerial("ttyUSB0", "1-1", "0403", "6001", "FTDI", "FT232R");
    Link("COM7", Device("ttyUSB0"));   // a linked adapter keeps its description
    Link("COM10", Device("pts-10"));
    Link("COM1", Device("pts-1"));
    WriteFile(Links.Path() + "/COM4", Device("held-in-file"));   // a file holding the path
    Link("COM2", Devices.Path() + "/gone");                      // dangling: skipped
    Link("com5", Device("lower"));                               // not a spelling the engine finds
    Link("COM05", Device("zero"));
    Link("COMX", Device("x"));
    Link("LPT1", Device("lpt"));
    fs::create_directory(Links.Path() + "/COM6");                // neither link nor file

    EXPECT_EQ(Describe(Read()),
              "COM1|" + Devices.Path() + "/pts-1|\n"
              "COM4|" + Devices.Path() + "/held-in-file|\n"
              "COM7|" + Devices.Path() + "/ttyUSB0|FTDI FT232R\n"
              "COM10|" + Devices.Path() + "/pts-10|\n"
              "COM1|/dev/ttyS0|\n"
              "COM33|/dev/ttyUSB0|FTDI FT232R\n");
}

TEST_F(LinuxSources, MissingSourcesGiveNothing)
{
    EXPECT_TRUE(Platform::ReadSerialPortValues({Links.Path() + "/none", Sysfs.Root() + "/none"}).empty());
    EXPECT_TRUE(Read().empty());
}

TEST_F(LinuxSources, PortListOverBothSources)
{
    Sysfs.AddUsbSerial("ttyUSB0", "1-1", "0403", "6001", "FTDI", "FT232R USB UART");
    Sysfs.AddLegacyUart("ttyS0", 4);
    Sysfs.AddLegacyUart("ttyS1", 0);
    testsupport::PtyPort pty(3);

    const TCommSerialPortInfo info(Sources());
    ASSERT_EQ(info.PortList->Count(), 3);
    EXPECT_EQ(info.PortList->Strings(0), TOrvekString("COM1"));
    EXPECT_EQ(info.PortList->Strings(1), TOrvekString("COM3"));
    EXPECT_EQ(info.DevicePath(1), pty.SlavePath());
    EXPECT_EQ(info.PortList->Strings(2), TOrvekString("COM33"));
    EXPECT_EQ(info.Description(2), "FTDI FT232R USB UART");
}

TEST_F(LinuxSources, ReadOnlySourcesAreListedInFull)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root may write anywhere; this needs an ordinary user";
    Sysfs.AddUsbSerial("ttyUSB0", "1-1", "0403", "6001", "FTDI", "FT232R USB UART");
    Sysfs.AddLegacyUart("ttyS0", 4);
    Link("COM3", Device("pts-3"));
    const std::string before = Describe(Read());
    Sysfs.MakeReadOnly();
    fs::permissions(Links.Path(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(Describe(Read()), before);
    EXPECT_EQ(TCommSerialPortInfo(Sources()).PortList->Count(), 3);
    fs::permissions(Links.Path(), fs::perms::owner_all);
}

// Anyone may make /tmp/ccdownload-<uid>/ports first and plant COMn entries
// there: a link directory that others may write in, or whose parent they
// may, or that is not this user's, is ignored with one line on stderr.
TEST_F(LinuxSources, LinkDirectoryOthersCouldHavePlantedIsIgnored)
{
    const std::string ports = Links.Path() + "/shared/ports";
    setenv("CCDL_PORT_DIR", ports.c_str(), 1);
    ASSERT_EQ(Platform::MakePortLinkDirectory(), "");
    for (const std::string& dir : {ports, Links.Path() + "/shared"})
        EXPECT_EQ(fs::status(dir).permissions(), fs::perms::owner_all) << dir;
    testsupport::PtyPort pty(3);
    EXPECT_EQ(Platform::ResolveDevicePath("COM3"), ports + "/COM3");

    struct Case { const char* path; fs::perms perms; bool otherOwner; };
    for (const Case& c : {Case{"shared/ports", fs::perms::all, false},
                          Case{"shared/ports", fs::perms::owner_all | fs::perms::group_write, false},
                          Case{"shared", fs::perms::all, false},
                          Case{"shared", fs::perms::owner_all, true}}) {
        const std::string dir = Links.Path() + "/" + c.path;
        fs::permissions(dir, c.perms);
        if (c.otherOwner) {
            if (geteuid() != 0)
                continue;
            ASSERT_EQ(chown(dir.c_str(), 65534, 65534), 0);
        }
        testing::internal::CaptureStderr();
        EXPECT_EQ(Platform::ResolveDevicePath("COM3"), "/dev/ttyS2") << c.path;
        EXPECT_EQ(Platform::SystemSerialPortSources().LinkDirectory, "") << c.path;
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;  // once, though asked twice
        EXPECT_THAT(said, testing::HasSubstr(dir));
        EXPECT_NE(Platform::MakePortLinkDirectory(), "");
        fs::permissions(dir, fs::perms::owner_all);
        if (c.otherOwner) {
            ASSERT_EQ(chown(dir.c_str(), geteuid(), getegid()), 0);
        }
    }
}
