// The port list: its own rules (names and numbers, filtering, sorting by
// number, duplicates, the COM1-COM4 fallback) and its Linux sources, the
// port link directory and a sysfs tree built in a temporary folder.
#include "SerialPortSources.h"
#include "TCommSerialPortInfo.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "PortNames.h"
#include "PtyPort.h"

using namespace OrvekComm32;
using Platform::TSerialPortSources;
using Platform::TSerialPortValue;
namespace fs = std::filesystem;

namespace {

// The names listed, blank-separated.
std::string Names(const TCommSerialPortInfo& info)
{
    std::string names;
    for (int i = 0; i < info.PortList->Count(); ++i)
        names += (i ? " " : "") + info.PortList->Strings(i).str();
    return names;
}

// The fixture keeps a sysfs tree in a temporary folder, shaped like the
// kernel's: devices under devices/, class/tty/<name> linking to them, each
// serial tty with a "device" link to the node its driver bound.
class LinuxSources : public testing::Test {
protected:
    LinuxSources() { fs::create_directories(RootDir + "/class/tty"); }
    ~LinuxSources() override { SetWritable(true); }   // so that a read-only tree goes too
    // An ordinary file below the root (with its folders), for stand-ins.
    std::string AddFile(const std::string& relativePath, const std::string& text = "")
    {
        const fs::path path = fs::path(RootDir) / relativePath;
        fs::create_directories(path.parent_path());
        std::ofstream(path) << text << '\n';
        return path.string();
    }

    // A port of the 8250 platform driver; uartType 0 is a phantom, a
    // negative one writes no "type" attribute at all.
    void AddLegacyUart(const std::string& ttyName, int uartType)
    {
        const std::string platform = "devices/platform/serial8250";
        LinkClassTty(ttyName, platform, platform);
        if (uartType >= 0)
            AddFile(platform + "/tty/" + ttyName + "/type", std::to_string(uartType));
    }

    // A USB adapter with its device's ids and descriptor strings (an empty
    // one is not written). A ttyUSB port lies below the interface; a
    // CDC-ACM modem's (ttyACM) device is the interface itself.
    void AddUsb(const std::string& ttyName, const std::string& usbDevice, const std::string& vendorId,
                const std::string& productId, const std::string& manufacturer, const std::string& product)
    {
        const std::string device = "devices/pci0000:00/0000:00:14.0/usb1/" + usbDevice;
        const std::string interface = device + "/" + usbDevice + ":1.0";
        AddFile(device + "/idVendor", vendorId);
        AddFile(device + "/idProduct", productId);
        if (!manufacturer.empty())
            AddFile(device + "/manufacturer", manufacturer);
        if (!product.empty())
            AddFile(device + "/product", product);
        const std::string bound = ttyName.starts_with("ttyACM") ? interface : interface + "/" + ttyName;
        fs::create_directories(fs::path(RootDir) / bound);
        LinkClassTty(ttyName, bound, bound);
    }

    // Gives or takes write permission on everything below the root.
    void SetWritable(bool writable)
    {
        const auto how = writable ? fs::perm_options::add : fs::perm_options::remove;
        std::error_code ignored;
        fs::permissions(RootDir, fs::perms::owner_write, how, ignored);
        for (auto it = fs::recursive_directory_iterator(RootDir, ignored); it != fs::recursive_directory_iterator();
             it.increment(ignored))
            if (!it->is_symlink())
                fs::permissions(it->path(), fs::perms::owner_write, how, ignored);
    }

    TSerialPortSources Sources() const { return {Links.Path(), RootDir}; }

    // Data|device|description, one line per value read.
    std::string Read() const
    {
        std::string text;
        for (const auto& value : Platform::ReadSerialPortValues(Sources()))
            text += value.Data + "|" + value.DevicePath + "|" + value.Description + "\n";
        return text;
    }

    // A stand-in device node that exists, for link targets.
    std::string Device(const std::string& name) { return AddFile("stand-ins/" + name); }
    void Link(const std::string& entry, const std::string& target)
    {
        fs::create_symlink(target, Links.Path() + "/" + entry);
    }

    void LinkClassTty(const std::string& ttyName, const std::string& deviceDir, const std::string& boundNode)
    {
        const fs::path tty = fs::path(RootDir) / deviceDir / "tty" / ttyName;
        AddFile(deviceDir + "/tty/" + ttyName + "/dev", "4:64");
        if (!boundNode.empty())
            fs::create_directory_symlink(fs::relative(fs::path(RootDir) / boundNode, tty), tty / "device");
        fs::create_directory_symlink(fs::relative(tty, fs::path(RootDir) / "class/tty"),
                                     fs::path(RootDir) / "class/tty" / ttyName);
    }

    // Both private folders, removed at the end; Links is declared last so
    // that CCDL_PORT_DIR names it while the test runs.
    testsupport::PortDirectory SysfsRoot, Links;
    const std::string RootDir = SysfsRoot.Path();
};

} // namespace

TEST_F(LinuxSources, SysfsGivesSerialDevicesByTheFixedMap)
{
    EXPECT_TRUE(Platform::ReadSerialPortValues({Links.Path() + "/none", RootDir + "/none"}).empty());
    AddLegacyUart("ttyS0", 4);          // a 16550A
    AddLegacyUart("ttyS1", 0);          // registered, no hardware
    AddLegacyUart("ttyS2", -1);         // no type attribute: kept
    AddLegacyUart("ttyS40", 4);         // outside the map
    AddUsb("ttyUSB1", "1-3", "1a86", "7523", "", "");
    AddUsb("ttyUSB0", "1-1", "0403", "6001", "FTDI", "FT232R USB UART");
    AddUsb("ttyACM0", "1-2", "2e8a", "000a", "", "Board CDC");
    // The manufacturer is not repeated when the product names it.
    AddUsb("ttyUSB2", "1-5", "067b", "2303", "Prolific", "Prolific USB-Serial Controller");
    AddUsb("ttyUSB3", "1-4", "10c4", "ea60", "Silicon Labs", "");
    // Virtual consoles have no device link, a ttyS name included.
    LinkClassTty("tty0", "devices/virtual", "");
    LinkClassTty("ttyS3", "devices/virtual", "");

    EXPECT_EQ(Read(),
              "COM1|/dev/ttyS0|\n"
              "COM3|/dev/ttyS2|\n"
              "COM33|/dev/ttyUSB0|FTDI FT232R USB UART\n"
              "COM34|/dev/ttyUSB1|USB 1a86:7523\n"
              "COM35|/dev/ttyUSB2|Prolific USB-Serial Controller\n"
              "COM36|/dev/ttyUSB3|Silicon Labs\n"
              "COM65|/dev/ttyACM0|Board CDC\n");
}

// Read-only sources are listed in full; the port list sorts both by number.
// A number the link directory names opens its link, so the fixed map's
// device of that number (ttyS0 for COM1) is not listed.
TEST_F(LinuxSources, LinkDirectoryEntriesComeFirstAndKeepTheirTargetsEvenWhenReadOnly)
{
    AddLegacyUart("ttyS0", 4);
    AddUsb("ttyUSB0", "1-1", "0403", "6001", "FTDI", "FT232R");
    Link("COM7", Device("ttyUSB0"));   // a linked adapter keeps its description
    Link("COM10", Device("pts-10"));
    Link("COM1", Device("pts-1"));
    std::ofstream(Links.Path() + "/COM4") << Device("held-in-file");   // a file holding the path
    Link("COM2", RootDir + "/stand-ins/gone");   // dangling: skipped
    Link("com5", Device("lower"));               // not a spelling the engine finds
    Link("COM05", Device("zero"));
    Link("COMX", Device("x"));
    fs::create_directory(Links.Path() + "/COM6");   // neither link nor file

    const std::string devices = RootDir + "/stand-ins/";
    if (geteuid() != 0) {   // root may write anywhere: nothing is read-only to it
        SetWritable(false);
        fs::permissions(Links.Path(), fs::perms::owner_read | fs::perms::owner_exec);
    }
    EXPECT_EQ(Read(),
              "COM1|" + devices + "pts-1|\n"
              "COM4|" + devices + "held-in-file|\n"
              "COM7|" + devices + "ttyUSB0|FTDI FT232R\n"
              "COM10|" + devices + "pts-10|\n"
              "COM33|/dev/ttyUSB0|FTDI FT232R\n");
    const TCommSerialPortInfo info(Sources());
    EXPECT_EQ(Names(info), "COM1 COM4 COM7 COM10 COM33");
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
                continue;   // only root can give a folder away
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
        EXPECT_EQ(c.otherOwner ? chown(dir.c_str(), geteuid(), getegid()) : 0, 0);
    }
}

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

TEST(ListFromSystem, FiltersSortsKeepsDuplicatesRebuildsOnRefreshAndFallsBackToComOneToFour)
{
    const TCommSerialPortInfo info([] {
        return std::vector<TSerialPortValue>{{"COM3", "", "", ""}, {"com10", "/dev/ten", "", "ten"}, {"COM5", "/dev/a", "first", "a"},
                                             {"COM1", "", "", ""}, {"LPT1", "", "", ""}, {"COMX", "", "", ""}, {"COM0", "", "", ""},
                                             {"", "", "", ""}, {"Com2 ", "", "", ""}, {"com5", "/dev/c", "second", ""}};
    });
    EXPECT_EQ(Names(info), "COM1 COM2 COM3 COM5 COM5 COM10");
    EXPECT_EQ(info.DevicePath(5), "/dev/ten");   // each name keeps the device its value named
    EXPECT_EQ(info.Description(3) + " " + info.Description(4), "first second");
    // Beside the name: the device, and its description when there is one.
    EXPECT_EQ(info.EntryDetail(3) + "|" + info.EntryDetail(5) + "|" + info.EntryDetail(0), "a, first|ten|");

    // Nothing that names a port, or a reader that fails, gives COM1 to COM4;
    // Refresh rebuilds from the current values, ListFromSystem appends.
    const TCommSerialPortInfo failing([]() -> std::vector<TSerialPortValue> { throw std::runtime_error("no"); });
    EXPECT_EQ(Names(failing), "COM1 COM2 COM3 COM4");

    std::vector<TSerialPortValue> present = {{"COM9", "", "", ""}, {"COM8", "", "", ""}};
    TCommSerialPortInfo current([&present] { return present; });
    EXPECT_EQ(Names(current), "COM8 COM9");
    present = {{"COM1", "", "", ""}};
    current.ListFromSystem();
    EXPECT_EQ(Names(current), "COM1 COM8 COM9");
    present = {{"LPT1", "", "", ""}, {"COM0", "", "", ""}};
    current.Refresh();
    EXPECT_EQ(Names(current), "COM1 COM2 COM3 COM4");
}
