#include "PackageBuffers.h"

#include <algorithm>
#include <new>

namespace OrvekComm32 {

using namespace PackageRecord;

namespace {

std::unique_ptr<TCommPackageQueue> MakeQueue(long QueueSize, std::uint64_t SlotSize)
{
    auto queue = std::unique_ptr<TCommPackageQueue>(new (std::nothrow) TCommPackageQueue(2, MinSlotSize));
    if (!queue || !queue->SetQueue(QueueSize, static_cast<long>(SlotSize)))
        return nullptr;
    return queue;
}

} // namespace

bool TPackageBuffers::Fits(long QueueSize, std::uint64_t PackageSize)
{
    const std::uint64_t slots = static_cast<std::uint64_t>(std::max(QueueSize, MinSlots));
    const std::uint64_t slotSize = SlotSizeFor(PackageSize);
    return PackageSize <= MaxStorage && EncodedRecordSizeFor(PackageSize) <= MaxStorage
           && slots <= MaxStorage / slotSize;
}

std::unique_ptr<TPackageBuffers> TPackageBuffers::Make(long QueueSize, std::uint32_t PackageSize)
{
    if (!Fits(QueueSize, PackageSize))
        return nullptr;
    auto made = std::unique_ptr<TPackageBuffers>(new (std::nothrow) TPackageBuffers);
    if (!made)
        return nullptr;
    const std::uint64_t slotSize = SlotSizeFor(PackageSize);
    made->ReceiveRecord.Bytes = Allocate(slotSize);
    made->EncodedRecord.Bytes = Allocate(EncodedRecordSizeFor(PackageSize));
    made->TransmitRecord.Bytes = Allocate(slotSize);
    made->ReceiveQueue = MakeQueue(QueueSize, slotSize);
    made->TransmitQueue = MakeQueue(QueueSize, slotSize);
    if (!made->ReceiveRecord.Bytes || !made->EncodedRecord.Bytes || !made->TransmitRecord.Bytes
        || !made->ReceiveQueue || !made->TransmitQueue)
        return nullptr;
    return made;
}

} // namespace OrvekComm32
