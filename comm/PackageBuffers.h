#pragma once
// The package layer's buffer set: its two package queues and its three
// records, made together for one queue size and package size so that a
// size change replaces all of them or none.

#include <cstdint>
#include <memory>

#include "PackageRecord.h"
#include "TCommPackageQueue.h"

namespace OrvekComm32 {

struct TPackageBuffers {
    struct TRecord {
        std::unique_ptr<unsigned char[]> Bytes;

        unsigned char* Head() { return Bytes.get(); }
        unsigned char* Data() { return Bytes.get() + PackageRecord::HeadSize; }
        std::uint32_t Length() const { return PackageRecord::LengthOf(Bytes.get()); }
        void SetLength(std::uint32_t Length) { PackageRecord::SetLengthOf(Bytes.get(), Length); }
    };

    // Declared in the reverse of their release: transmit queue, receive
    // queue, then the records.
    TRecord ReceiveRecord;   // the package being assembled
    TRecord EncodedRecord;   // the package being sent, as it goes on the line
    TRecord TransmitRecord;  // a package taken from the transmit queue before it is encoded
    std::unique_ptr<TCommPackageQueue> ReceiveQueue;
    std::unique_ptr<TCommPackageQueue> TransmitQueue;

    // Whether every record and queue stays within a 32-bit byte count.
    static bool Fits(long QueueSize, std::uint64_t PackageSize);
    // Null when a size does not fit or memory is short.
    static std::unique_ptr<TPackageBuffers> Make(long QueueSize, std::uint32_t PackageSize);
};

} // namespace OrvekComm32
