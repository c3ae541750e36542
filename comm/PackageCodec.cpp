#include "PackageCodec.h"

#include <algorithm>
#include <cstring>

// Marks are rare in package data, so both directions spend their time
// finding the next mark and moving the run of plain bytes before it at once;
// the marks themselves are handled one byte at a time.

namespace OrvekComm32 {
namespace {

bool IsMark(unsigned char c, const TFrameMarks& m)
{
    return c == m.Head || c == m.Tail || c == m.Ctrl;
}

// The first byte in [p, end) that is one of the marks, or end.
const unsigned char* FindMark(const unsigned char* p, const unsigned char* end, const TFrameMarks& m)
{
    while (p < end && !IsMark(*p, m))
        ++p;
    return p;
}

} // namespace

std::uint32_t EncodePackage(const unsigned char* Data, std::uint32_t Length, const TFrameMarks& Marks,
                            bool DoubleFrameMark, unsigned char* Out)
{
    unsigned char* out = Out;
    *out++ = Marks.Head;
    if (DoubleFrameMark)
        *out++ = Marks.Head;
    const unsigned char* p = Data;
    const unsigned char* const end = Data + Length;
    while (p < end) {
        const unsigned char* mark = FindMark(p, end, Marks);
        std::memcpy(out, p, static_cast<std::size_t>(mark - p));
        out += mark - p;
        p = mark;
        if (p == end)
            break;
        *out++ = Marks.Ctrl;
        *out++ = *p++;
    }
    *out++ = Marks.Tail;
    if (DoubleFrameMark)
        *out++ = Marks.Tail;
    return static_cast<std::uint32_t>(out - Out);
}

void DecodeHeadTail(THeadTailDecoder& State, const TFrameMarks& Marks, unsigned char* Package, std::uint32_t Limit,
                    const unsigned char* Bytes, std::size_t Count, TPackageSink Sink, void* Context)
{
    const unsigned char* p = Bytes;
    const unsigned char* const end = Bytes + Count;
    while (p < end) {
        // Unescaped bytes that are no mark are plain data inside a frame and
        // ignored outside one: take them as a run.
        if (!State.Escape) {
            const unsigned char* mark = FindMark(p, end, Marks);
            if (State.InFrame) {
                const std::size_t room = State.Length < Limit ? Limit - State.Length : 0;
                const std::size_t take = std::min(static_cast<std::size_t>(mark - p), room);
                if (take > 0) // Package may be null when Limit is 0
                    std::memcpy(Package + State.Length, p, take);
                State.Length += static_cast<std::uint32_t>(take);
            }
            p = mark;
            if (p == end)
                break;
        }

        const unsigned char c = *p++;
        if (!State.Escape && c == Marks.Head) {
            State.Length = 0;
            State.InFrame = true;
        } else if (State.InFrame) {
            if (State.Escape || (c != Marks.Ctrl && c != Marks.Tail)) {
                if (State.Length < Limit)
                    Package[State.Length++] = c;
                State.Escape = false;
            } else if (c == Marks.Ctrl) {
                State.Escape = true;
            } else {
                Sink(Context, Package, State.Length);
                State.Length = 0;
                State.InFrame = false;
            }
        } else {
            State.Escape = !State.Escape && c == Marks.Ctrl;
        }
    }
}

} // namespace OrvekComm32
