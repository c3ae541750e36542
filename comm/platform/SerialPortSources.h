#pragma once
// Where the system's serial ports come from: the values the port list
// filters, normalises and sorts. Each value carries the data text that
// names a port ("COMn"), the device it stands for, and a human description
// when the system has one (a USB adapter's manufacturer and product).
//
// On Linux the values are, in this order: the entries COMn of the port link
// directory (by name), then the serial devices under <sysfs>/class/tty that
// the fixed map gives a COM number, leaving out legacy 8250 ports that the
// driver registers without hardware (UART type 0, unknown) and the numbers
// the link directory already names: a name opens its link, so each number
// comes once, with the device it opens. Everything is
// read read-only; nothing is opened for writing and no device is opened.
//
// Threads: may be called from any thread; keeps no state.

#include <vector>

#include "SerialPortValue.h"

namespace OrvekComm32::Platform {

// The sources of this system.
TSerialPortSources SystemSerialPortSources();

// All values the sources give, in the order above. A source that is missing
// or unreadable gives nothing.
std::vector<TSerialPortValue> ReadSerialPortValues(const TSerialPortSources& sources);

} // namespace OrvekComm32::Platform
