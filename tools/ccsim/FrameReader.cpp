#include "FrameReader.h"

#include <algorithm>

namespace ccsim {

void TFrameReader::Feed(std::span<const std::uint8_t> bytes, std::vector<TStreamItem>& items)
{
    Pending.insert(Pending.end(), bytes.begin(), bytes.end());
    _Scan(items);
}

Bytes TFrameReader::DropPartial()
{
    Bytes dropped;
    dropped.swap(Pending);
    return dropped;
}

void TFrameReader::_Scan(std::vector<TStreamItem>& items)
{
    std::size_t start = 0;
    while (start < Pending.size()) {
        if (Pending[start] != FrameMark) {
            const auto mark = std::find(Pending.begin() + static_cast<std::ptrdiff_t>(start), Pending.end(), FrameMark);
            const auto next = static_cast<std::size_t>(mark - Pending.begin());
            _AddGarbage(items, Pending.data() + start, next - start);
            start = next;
            continue;
        }
        if (Pending.size() - start < FrameHeadSize)
            break;
        const std::size_t length = Pending[start + 1] | std::size_t(Pending[start + 2]) << 8;
        if (length == 0 || length > MaxFrameLength) {
            _AddGarbage(items, Pending.data() + start, 1);
            ++start;
            continue;
        }
        const std::size_t frameSize = FrameHeadSize + length;
        if (Pending.size() - start < frameSize)
            break;
        const auto first = Pending.begin() + static_cast<std::ptrdiff_t>(start);
        items.push_back({TStreamItem::Frame, Bytes(first, first + static_cast<std::ptrdiff_t>(frameSize))});
        start += frameSize;
    }
    Pending.erase(Pending.begin(), Pending.begin() + static_cast<std::ptrdiff_t>(start));
}

void TFrameReader::_AddGarbage(std::vector<TStreamItem>& items, const std::uint8_t* first, std::size_t count)
{
    // Neighbouring garbage runs are one run for the reader's caller.
    if (!items.empty() && items.back().Kind == TStreamItem::Garbage) {
        items.back().Data.insert(items.back().Data.end(), first, first + count);
        return;
    }
    items.push_back({TStreamItem::Garbage, Bytes(first, first + count)});
}

} // namespace ccsim
