#include "FakeSysfs.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace portlisttest {
namespace fs = std::filesystem;
namespace {

std::string MakeTempDir(const char* prefix)
{
    std::string pattern = (fs::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    return pattern;
}

void RemoveTree(const std::string& dir)
{
    std::error_code ignored;
    // Give write permission back first, so that a read-only tree goes too.
    for (auto it = fs::recursive_directory_iterator(dir, ignored); it != fs::recursive_directory_iterator();
         it.increment(ignored))
        if (!it->is_symlink())
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(dir, ignored);
}

} // namespace

void WriteFile(const std::string& path, const std::string& text)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path) << text << '\n';
}

TempDir::TempDir() : Dir(MakeTempDir("ccdl-test")) {}
TempDir::~TempDir() { RemoveTree(Dir); }

FakeSysfs::FakeSysfs() : RootDir(MakeTempDir("ccdl-sysfs"))
{
    fs::create_directories(RootDir + "/class/tty");
}

FakeSysfs::~FakeSysfs() { RemoveTree(RootDir); }

void FakeSysfs::LinkClassTty(const std::string& ttyName, const std::string& deviceDir, const std::string& boundNode)
{
    const fs::path tty = fs::path(RootDir) / deviceDir / "tty" / ttyName;
    fs::create_directories(tty);
    WriteFile((tty / "dev").string(), "4:64");
    if (!boundNode.empty())
        fs::create_directory_symlink(fs::relative(fs::path(RootDir) / boundNode, tty), tty / "device");
    fs::create_directory_symlink(fs::relative(tty, fs::path(RootDir) / "class/tty"),
                                 fs::path(RootDir) / "class/tty" / ttyName);
}

void FakeSysfs::AddLegacyUart(const std::string& ttyName, int uartType)
{
    const std::string platform = "devices/platform/serial8250";
    fs::create_directories(fs::path(RootDir) / platform);
    LinkClassTty(ttyName, platform, platform);
    if (uartType >= 0)
        WriteFile(RootDir + "/" + platform + "/tty/" + ttyName + "/type", std::to_string(uartType));
}

void FakeSysfs::AddUsbSerial(const std::string& ttyName, const std::string& usbDevice, const std::string& vendorId,
                             const std::string& productId, const std::string& manufacturer,
                             const std::string& product)
{
    const std::string device = "devices/pci0000:00/0000:00:14.0/usb1/" + usbDevice;
    const std::string port = device + "/" + usbDevice + ":1.0/" + ttyName;
    fs::create_directories(fs::path(RootDir) / port);
    WriteFile(RootDir + "/" + device + "/idVendor", vendorId);
    WriteFile(RootDir + "/" + device + "/idProduct", productId);
    if (!manufacturer.empty())
        WriteFile(RootDir + "/" + device + "/manufacturer", manufacturer);
    if (!product.empty())
        WriteFile(RootDir + "/" + device + "/product", product);
    LinkClassTty(ttyName, port, port);
}

void FakeSysfs::AddUsbAcm(const std::string& ttyName, const std::string& usbDevice, const std::string& product)
{
    const std::string device = "devices/pci0000:00/0000:00:14.0/usb1/" + usbDevice;
    const std::string interface = device + "/" + usbDevice + ":1.0";
    fs::create_directories(fs::path(RootDir) / interface);
    WriteFile(RootDir + "/" + device + "/idVendor", "2e8a");
    WriteFile(RootDir + "/" + device + "/idProduct", "000a");
    WriteFile(RootDir + "/" + device + "/product", product);
    LinkClassTty(ttyName, interface, interface);
}

void FakeSysfs::AddVirtualTerminal(const std::string& ttyName)
{
    LinkClassTty(ttyName, "devices/virtual", "");
}

void FakeSysfs::MakeReadOnly()
{
    const auto writable = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    for (auto it = fs::recursive_directory_iterator(RootDir); it != fs::recursive_directory_iterator(); ++it)
        if (!it->is_symlink())
            fs::permissions(it->path(), writable, fs::perm_options::remove);
    fs::permissions(RootDir, writable, fs::perm_options::remove);
}

} // namespace portlisttest
