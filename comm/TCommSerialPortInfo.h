#pragma once
// The serial ports the system knows, as "COMn" names sorted by number,
// with COM1 to COM4 when the system names none; and the conversions
// between a port name and its number.
//
// Each name keeps the device it was found for and, for USB adapters, the
// adapter's description. Data that names a port twice gives the name twice;
// on Linux the sources never do (the link directory shadows the fixed map).
//
// Threads: distinct objects may be used on any thread; one object is not
// safe to use from two threads at once. The static functions may be called
// from any thread.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "SerialPortValue.h"
#include "TOrvekString.h"

namespace OrvekComm32 {

using TOrvekFuncs::TOrvekString;

struct TCommPortEntry {
    TOrvekString Name;         // "COMn"
    std::string DevicePath;    // empty for the fallback names
    std::string Description;   // empty when the system gives none
    std::string DeviceNode;    // "ttyUSB0", "pts/3"; empty when unknown
};

// The port names in list order. Neither sorted nor free of duplicates by
// itself; CustomSort sorts it by a comparison of two of its indices.
class TCommPortList {
public:
    using TCompare = int (*)(const TCommPortList* List, int Index1, int Index2);

    int Count() const { return static_cast<int>(Entries.size()); }
    const TOrvekString& Strings(int index) const { return Entries.at(static_cast<std::size_t>(index)).Name; }
    const TCommPortEntry& Entry(int index) const { return Entries.at(static_cast<std::size_t>(index)); }

    void Add(TCommPortEntry entry) { Entries.push_back(std::move(entry)); }
    void Clear() { Entries.clear(); }
    // Orders the entries so that compare(a, b) < 0 puts a before b; equal
    // entries keep their order.
    void CustomSort(TCompare compare);

private:
    std::vector<TCommPortEntry> Entries;
};

class TCommSerialPortInfo {
public:
    // What ListFromSystem reads: the system's values that may name ports.
    using TValueReader = std::function<std::vector<Platform::TSerialPortValue>()>;

    // Lists the ports of this system.
    TCommSerialPortInfo();
    // Lists the ports the given sources name (a link directory and a sysfs
    // tree of a test's own).
    explicit TCommSerialPortInfo(const Platform::TSerialPortSources& sources);
    // Lists the ports that the reader's values name.
    explicit TCommSerialPortInfo(TValueReader reader);
    virtual ~TCommSerialPortInfo();

    TCommSerialPortInfo(const TCommSerialPortInfo&) = delete;
    TCommSerialPortInfo& operator=(const TCommSerialPortInfo&) = delete;

    // Empties the list, lists the system's ports, and falls back to COM1 to
    // COM4 when there are none.
    void Refresh();
    // Appends the system's ports, filtered by PortNo, normalised to "COMn"
    // and sorted by number.
    void ListFromSystem();

    // The number of "COMn" (case-insensitive; blanks and one sign may come
    // before the digits, anything after them is ignored), or 0.
    static int PortNo(const TOrvekString& Name);
    // "COM%d" for any number, 0 and negatives too.
    static TOrvekString PortName(int PortNo);
    // The port number of a device name "\\.\COMn" or "COMn" (n > 0), else 0.
    static int PortNoOfDeviceName(const char* DeviceName);
    // The device a port name leads to on this system; empty when none.
    static std::string DevicePathOf(const TOrvekString& Name);
    // The folder whose entries COMn name the devices of ports.
    static std::string LinkDirectory();
    // Makes that folder (mode 0700) where missing and checks that no one
    // else could plant entries in it; empty on success, else why not.
    static std::string MakeLinkDirectory();
    // PortNo of entry Index1 minus PortNo of entry Index2.
    static int PortListSortCompare(const TCommPortList* List, int Index1, int Index2);

    // The names found, read through PortList->Count() and ->Strings(i).
    const std::unique_ptr<TCommPortList> PortList;

    const std::string& DevicePath(int index) const { return PortList->Entry(index).DevicePath; }
    const std::string& Description(int index) const { return PortList->Entry(index).Description; }
    // "ttyUSB0, FT232R USB UART": the device and its description where
    // known, to show beside the name, so that two adapters can be told
    // apart; empty when the device is unknown.
    std::string EntryDetail(int index) const;

private:
    TValueReader ReadValues;
};

} // namespace OrvekComm32
