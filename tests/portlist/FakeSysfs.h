#pragma once
// A sysfs tree in a temporary folder, shaped like the kernel's: devices
// under devices/, class/tty/<name> linking to them, each serial tty with a
// "device" link to the node its driver bound.

#include <string>

namespace portlisttest {

class FakeSysfs {
public:
    FakeSysfs();
    ~FakeSysfs();
    FakeSysfs(const FakeSysfs&) = delete;
    FakeSysfs& operator=(const FakeSysfs&) = delete;

    const std::string& Root() const { return RootDir; }

    // A port of the 8250 platform driver; uartType 0 is a phantom, a
    // negative one writes no "type" attribute at all.
    void AddLegacyUart(const std::string& ttyName, int uartType);
    // A USB serial adapter (ttyUSB: usb-serial port below the interface)
    // with the USB device's descriptor strings; an empty one is not written.
    void AddUsbSerial(const std::string& ttyName, const std::string& usbDevice, const std::string& vendorId,
                      const std::string& productId, const std::string& manufacturer, const std::string& product);
    // A CDC-ACM modem: the tty's device is the USB interface itself.
    void AddUsbAcm(const std::string& ttyName, const std::string& usbDevice, const std::string& product);
    // A virtual console: no device link.
    void AddVirtualTerminal(const std::string& ttyName);

    // Takes write permission from everything below the root.
    void MakeReadOnly();

private:
    void LinkClassTty(const std::string& ttyName, const std::string& deviceDir, const std::string& boundNode);

    std::string RootDir;
};

// Writes a file with one line of text, making its folders.
void WriteFile(const std::string& path, const std::string& text);

// A temporary folder removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return Dir; }

private:
    std::string Dir;
};

} // namespace portlisttest
