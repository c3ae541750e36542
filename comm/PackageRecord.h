#pragma once
// The sizes of the package layer's records and slots, and the length at
// the head of each record: shared by the package queue, the layer's buffer
// set and the layer.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

namespace OrvekComm32::PackageRecord {

inline constexpr std::uint64_t MaxStorage = std::numeric_limits<std::uint32_t>::max();
inline constexpr std::uint32_t HeadSize = sizeof(std::uint32_t);
inline constexpr long MinSlots = 2;
inline constexpr long MinSlotSize = 32;

// Record lengths are read and written through memcpy: records live in
// plain byte storage, and a caller's record need not be aligned.
inline std::uint32_t LengthOf(const void* Record)
{
    std::uint32_t length;
    std::memcpy(&length, Record, sizeof length);
    return length;
}

inline void SetLengthOf(void* Record, std::uint32_t Length)
{
    std::memcpy(Record, &Length, sizeof Length);
}

inline std::uint64_t SlotSizeFor(std::uint64_t PackageSize)
{
    return std::max<std::uint64_t>(PackageSize + HeadSize, MinSlotSize);
}

// An encoded package doubles every byte at worst and adds two marks twice.
inline std::uint64_t EncodedRecordSizeFor(std::uint64_t PackageSize)
{
    return std::max<std::uint64_t>(HeadSize + 2 * PackageSize + 4, SlotSizeFor(PackageSize));
}

// Zeroed, so that whole-slot copies never carry indeterminate bytes.
inline std::unique_ptr<unsigned char[]> Allocate(std::uint64_t Bytes)
{
    return std::unique_ptr<unsigned char[]>(new (std::nothrow) unsigned char[Bytes]());
}

} // namespace OrvekComm32::PackageRecord
