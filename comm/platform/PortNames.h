#pragma once
// How the library's COM names map to devices on this system.
//
// A name "\\.\COMn" (or "COMn") resolves first through an entry named COMn
// in the port link directory (a symbolic link to the device, or a file
// holding its path), then through the fixed map:
//   COM1-COM32  = /dev/ttyS0-31
//   COM33-COM64 = /dev/ttyUSB0-31
//   COM65-COM96 = /dev/ttyACM0-31
// The port link directory is $CCDL_PORT_DIR when set, else
// $XDG_RUNTIME_DIR/ccdownload/ports, else /tmp/ccdownload-<uid>/ports.
// Anyone may make the last of these first, so the directory is used only
// when it and its parent belong to this user and no one else may write in
// them (a parent of root's with the sticky bit, as /tmp, will do too).
//
// Threads: all functions may be called from any thread.

#include <string>

namespace OrvekComm32::Platform {

// Where the port link directory is, trusted or not.
std::string PortLinkDirectory();

// Empty when `dir` and its parent may hold the port links, else why not.
std::string UntrustedLinkDirectoryReason(const std::string& dir);

// PortLinkDirectory() when it is trusted; otherwise empty, and one line on
// standard error says why (once per process and reason).
std::string TrustedPortLinkDirectory();

// Makes the port link directory and its parent where missing, with mode
// 0700, and checks that they can be trusted. Empty on success, else what
// went wrong.
std::string MakePortLinkDirectory();

// The port number of "\\.\COMn" or "COMn" (n > 0), else 0.
int ComNumberOfDeviceName(const char* deviceName);

// The device path of a COM number by the fixed map; empty when it has none.
std::string FixedDeviceOfComNumber(int comNumber);

// The COM number of a device node name by the fixed map ("ttyUSB3" gives
// 36), else 0.
int ComNumberOfFixedDevice(const std::string& ttyName);

// The device path for a device name: the link directory's entry, then the
// fixed map; a name that is a path ("/dev/serial/by-id/...") is its own
// device. Empty when none of these knows the name.
std::string ResolveDevicePath(const char* deviceName);

} // namespace OrvekComm32::Platform
