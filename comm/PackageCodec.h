#pragma once
// The byte rules of framed packages, apart from queues and threads so that
// they can be tested and fuzzed on their own.
//
// On the line a package is: the frame head (twice with the double frame
// mark), every data byte that equals one of the three marks preceded by the
// control byte, then the frame tail (twice with the double frame mark).
// The three marks must differ for a package to parse back to itself; equal
// marks are accepted and give whatever the per-byte rules below make of
// them.
//
// Threads: the functions keep no state of their own; a THeadTailDecoder
// belongs to one caller at a time.

#include <cstddef>
#include <cstdint>

namespace OrvekComm32 {

struct TFrameMarks {
    unsigned char Head = 0xEB;
    unsigned char Tail = 0xEE;
    unsigned char Ctrl = 0xEC;
};

// The most bytes EncodePackage writes for Length data bytes.
constexpr std::uint64_t EncodedSizeLimit(std::uint32_t Length)
{
    return 2 * static_cast<std::uint64_t>(Length) + 4;
}

// Writes the framed form of Data[0, Length) to Out, which must hold
// EncodedSizeLimit(Length) bytes; any of them may be overwritten, also
// beyond the framed form. Returns the length of the framed form.
std::uint32_t EncodePackage(const unsigned char* Data, std::uint32_t Length, const TFrameMarks& Marks,
                            bool DoubleFrameMark, unsigned char* Out);

// Everything the head/tail reception carries from byte to byte and from
// call to call. Length is the number of bytes of the package being
// assembled; the bytes themselves live in the caller's package buffer.
struct THeadTailDecoder {
    bool InFrame = false;
    bool Escape = false;
    std::uint32_t Length = 0;

    void Reset() { *this = THeadTailDecoder {}; }
};

// Called for each completed package; the package is Package[0, Length).
using TPackageSink = void (*)(void* Context, const unsigned char* Package, std::uint32_t Length);

// Parses Bytes[0, Count) into Package, a buffer of Limit bytes (the package
// size). Per byte, in this order:
//   - an unescaped head drops any partial package and opens a frame;
//   - inside a frame: an escaped byte is data; an unescaped control byte
//     escapes the next one; an unescaped tail completes the package (Sink is
//     called, then Length is 0 and the frame closed); any other byte is data;
//   - outside a frame: an unescaped control byte escapes the next byte (so an
//     escaped head opens nothing); every other byte is ignored.
// Data beyond Limit bytes is dropped, so an over-long frame completes with
// its first Limit bytes; Package[State.Length, Limit) may be overwritten.
// Nothing is reported for malformed input: stray bytes are skipped and a
// restarted frame silently drops its partial package. On return State holds
// what the next call continues from, and Package[0, State.Length) the
// partial package.
void DecodeHeadTail(THeadTailDecoder& State, const TFrameMarks& Marks, unsigned char* Package, std::uint32_t Limit,
                    const unsigned char* Bytes, std::size_t Count, TPackageSink Sink, void* Context);

} // namespace OrvekComm32
