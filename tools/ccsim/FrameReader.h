#pragma once
// Cuts the byte stream from the tool into controller frames by the frames'
// own length field: 0x7E, a 16-bit little-endian length counting the command
// and the data, the command, the data.
//
// Bytes that cannot begin a frame are handed back as garbage, one run at a
// time: anything before a 0x7E, and a 0x7E whose length is 0 or longer than
// any frame the tool sends (then the scan goes on from the byte after it).
// A frame cut short stays pending until more bytes come or the caller
// gives up on it with DropPartial.
//
// Threads: one object per thread; no shared state.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "ControllerFrame.h"

namespace ccsim {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t FrameMark = ControllerFrame::FrameMark;
// The largest length the tool sends: the command and 512 data bytes.
constexpr std::size_t MaxFrameLength = ControllerFrame::MaxData + 1;
constexpr std::size_t FrameHeadSize = 3; // mark and length

struct TStreamItem {
    enum TKind { Frame, Garbage } Kind;
    Bytes Data; // a whole frame, or the run of garbage bytes
};

class TFrameReader {
public:
    // Appends to `items` what the bytes complete, in stream order.
    void Feed(std::span<const std::uint8_t> bytes, std::vector<TStreamItem>& items);

    bool HasPartial() const { return !Pending.empty(); }
    // Gives up on the pending partial frame and returns its bytes.
    Bytes DropPartial();

private:
    // Moves what Pending holds into `items` as far as it is decided.
    void _Scan(std::vector<TStreamItem>& items);
    void _AddGarbage(std::vector<TStreamItem>& items, const std::uint8_t* first, std::size_t count);

    Bytes Pending; // bytes not yet decided, always beginning with FrameMark
};

} // namespace ccsim
