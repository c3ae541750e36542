#include "TCommSerialPortInfo.h"

#include <algorithm>
#include <climits>
#include <exception>
#include <numeric>

#include "PortNames.h"
#include "SerialPortSources.h"

namespace OrvekComm32 {
namespace {

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

} // namespace

void TCommPortList::CustomSort(TCompare compare)
{
    // The comparison reads entries by index, so sort a permutation of the
    // indices over the unchanged list and apply it afterwards.
    std::vector<int> order(Entries.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return compare(this, a, b) < 0; });
    std::vector<TCommPortEntry> sorted;
    sorted.reserve(Entries.size());
    for (int index : order)
        sorted.push_back(std::move(Entries[static_cast<std::size_t>(index)]));
    Entries = std::move(sorted);
}

int TCommSerialPortInfo::PortNoOfDeviceName(const char* DeviceName)
{
    return Platform::ComNumberOfDeviceName(DeviceName);
}

std::string TCommSerialPortInfo::DevicePathOf(const TOrvekString& Name)
{
    return Platform::ResolveDevicePath(Name.c_str());
}

std::string TCommSerialPortInfo::LinkDirectory()
{
    return Platform::PortLinkDirectory();
}

std::string TCommSerialPortInfo::MakeLinkDirectory()
{
    return Platform::MakePortLinkDirectory();
}

TCommSerialPortInfo::TCommSerialPortInfo() : TCommSerialPortInfo(Platform::SystemSerialPortSources()) {}

TCommSerialPortInfo::TCommSerialPortInfo(const Platform::TSerialPortSources& sources)
    : TCommSerialPortInfo([sources] { return Platform::ReadSerialPortValues(sources); })
{
}

TCommSerialPortInfo::TCommSerialPortInfo(TValueReader reader)
    : PortList(std::make_unique<TCommPortList>()), ReadValues(std::move(reader))
{
    Refresh();
}

TCommSerialPortInfo::~TCommSerialPortInfo() = default;

void TCommSerialPortInfo::Refresh()
{
    PortList->Clear();
    ListFromSystem();
    if (PortList->Count() == 0)
        for (int number = 1; number <= 4; ++number)
            PortList->Add({PortName(number), {}, {}, {}});
}

void TCommSerialPortInfo::ListFromSystem()
{
    // A source that fails part-way keeps what was listed before it failed.
    try {
        for (const Platform::TSerialPortValue& value : ReadValues()) {
            const int number = PortNo(value.Data);
            if (number > 0)
                PortList->Add({PortName(number), value.DevicePath, value.Description, value.DeviceNode});
        }
        PortList->CustomSort(PortListSortCompare);
    } catch (const std::exception&) {
    }
}

std::string TCommSerialPortInfo::EntryDetail(int index) const
{
    const TCommPortEntry& entry = PortList->Entry(index);
    if (entry.DeviceNode.empty() || entry.Description.empty())
        return entry.DeviceNode;
    return entry.DeviceNode + ", " + entry.Description;
}

int TCommSerialPortInfo::PortNo(const TOrvekString& Name)
{
    const char* text = Name.c_str();
    if (Name.Length() < 3 || UpperAscii(text[0]) != 'C' || UpperAscii(text[1]) != 'O' || UpperAscii(text[2]) != 'M')
        return 0;
    const char* p = text + 3;
    while (IsBlank(*p))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    long long number = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        number = number * 10 + (*p - '0');
        if (number > INT_MAX)
            return 0; // names no port rather than a wrapped-around one
    }
    return negative || number <= 0 ? 0 : static_cast<int>(number);
}

TOrvekString TCommSerialPortInfo::PortName(int PortNo)
{
    return TOrvekString::Format("COM%d", PortNo);
}

int TCommSerialPortInfo::PortListSortCompare(const TCommPortList* List, int Index1, int Index2)
{
    // Both numbers are at least 0, so the difference cannot overflow.
    return PortNo(List->Strings(Index1)) - PortNo(List->Strings(Index2));
}

} // namespace OrvekComm32
