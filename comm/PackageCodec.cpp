#include "PackageCodec.h"

#include <algorithm>
#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#endif
// CCDL_CODEC_BYTEWISE builds the codec as it runs where AVX2 is missing.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && !defined(CCDL_CODEC_BYTEWISE)
#define CCDL_CODEC_BLOCKS 1
#endif

// Marks are rare in package data, so both directions spend their time
// finding the next mark and moving the bytes before it. The byte-wise rules
// below stay the reference; on x86-64 with AVX2 whole 32-byte blocks are
// compared with the three marks at once, and a block's marks are inserted
// (or its control bytes dropped) with one shuffle per 8 bytes, so that no
// byte is handled alone unless a frame starts or ends in its block.

namespace OrvekComm32 {
namespace {

bool IsMark(unsigned char c, const TFrameMarks& m)
{
    return c == m.Head || c == m.Tail || c == m.Ctrl;
}

// The first byte in [p, end) that is one of the marks, or end.
const unsigned char* FindMark(const unsigned char* p, const unsigned char* end, const TFrameMarks& m)
{
#if defined(__SSE2__)
    const __m128i head = _mm_set1_epi8(static_cast<char>(m.Head));
    const __m128i tail = _mm_set1_epi8(static_cast<char>(m.Tail));
    const __m128i ctrl = _mm_set1_epi8(static_cast<char>(m.Ctrl));
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i hit =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, head), _mm_cmpeq_epi8(v, tail)), _mm_cmpeq_epi8(v, ctrl));
        const int bits = _mm_movemask_epi8(hit);
        if (bits != 0)
            return p + __builtin_ctz(static_cast<unsigned>(bits));
        p += 16;
    }
#endif
    while (p < end && !IsMark(*p, m))
        ++p;
    return p;
}

#if defined(CCDL_CODEC_BLOCKS)

// The block functions are compiled for AVX2 and chosen at run time; the
// small ones must be inlined into their callers to keep blocks in registers.
#define BLOCKS __attribute__((target("avx2,popcnt")))
#define INLINE_BLOCKS __attribute__((target("avx2,popcnt"), always_inline)) inline

constexpr std::ptrdiff_t Block = 32;

bool HaveBlocks()
{
    static const bool have = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
    return have;
}

// The block decoder leans on it: no byte can be two marks at once.
bool Distinct(const TFrameMarks& m)
{
    return m.Head != m.Tail && m.Head != m.Ctrl && m.Tail != m.Ctrl;
}

using TShuffleTable = std::array<std::array<unsigned char, 16>, 256>;

// For 8 bytes in lanes 0..7 and the control byte in lanes 8..15: entry b
// puts the control byte before each byte whose bit is set in b.
constexpr TShuffleTable MakeEscapeShuffles()
{
    TShuffleTable table {};
    for (unsigned b = 0; b < 256; ++b) {
        unsigned at = 0;
        for (unsigned i = 0; i < 8; ++i) {
            if (b & (1u << i))
                table[b][at++] = 8;
            table[b][at++] = static_cast<unsigned char>(i);
        }
        while (at < 16)
            table[b][at++] = 8;
    }
    return table;
}

// For 8 bytes in lanes 0..7: entry b packs the bytes whose bit is clear in b.
constexpr TShuffleTable MakeDropShuffles()
{
    TShuffleTable table {};
    for (unsigned b = 0; b < 256; ++b) {
        unsigned at = 0;
        for (unsigned i = 0; i < 8; ++i)
            if (!(b & (1u << i)))
                table[b][at++] = static_cast<unsigned char>(i);
        while (at < 16)
            table[b][at++] = 0x80;
    }
    return table;
}

alignas(64) constexpr TShuffleTable EscapeShuffles = MakeEscapeShuffles();
alignas(64) constexpr TShuffleTable DropShuffles = MakeDropShuffles();

struct TMarkVectors {
    __m256i Head, Tail, Ctrl;
};

INLINE_BLOCKS TMarkVectors Broadcast(const TFrameMarks& m)
{
    return {_mm256_set1_epi8(static_cast<char>(m.Head)), _mm256_set1_epi8(static_cast<char>(m.Tail)),
            _mm256_set1_epi8(static_cast<char>(m.Ctrl))};
}

INLINE_BLOCKS std::uint32_t Equal(__m256i v, __m256i mark)
{
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, mark)));
}

INLINE_BLOCKS __m128i Shuffle(__m128i v, const TShuffleTable& table, unsigned index)
{
    return _mm_shuffle_epi8(v, _mm_load_si128(reinterpret_cast<const __m128i*>(table[index].data())));
}

// Writes the 8 bytes in lanes 0..7 of Bytes, each mark in Marks preceded by
// the control byte in lanes 8..15. Stores 16 bytes; returns the new end.
INLINE_BLOCKS unsigned char* Escape8(__m128i Bytes, unsigned Marks, unsigned char* Out)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Out), Shuffle(Bytes, EscapeShuffles, Marks));
    return Out + 8 + __builtin_popcount(Marks);
}

// Each block is loaded before the one before it is stored. A load whose
// address matches a pending store's in its low 12 bits waits for that store
// on common x86 cores, and buffers allocated one after another often lie a
// multiple of 4096 bytes apart plus a little: loading a block right after
// storing the previous one would then stall on nearly every block.
INLINE_BLOCKS __m256i Load(const unsigned char* p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// Frames one block; returns the new end of the output.
INLINE_BLOCKS unsigned char* EscapeBlock(__m256i v, const TMarkVectors& marks, __m128i ctrl,
                                         unsigned char* to)
{
    const std::uint32_t hits = Equal(v, marks.Head) | Equal(v, marks.Tail) | Equal(v, marks.Ctrl);
    if (hits == 0) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(to), v);
        return to + Block;
    }
    const __m128i low = _mm256_castsi256_si128(v), high = _mm256_extracti128_si256(v, 1);
    to = Escape8(_mm_unpacklo_epi64(low, ctrl), hits & 0xFF, to);
    to = Escape8(_mm_unpackhi_epi64(low, ctrl), (hits >> 8) & 0xFF, to);
    to = Escape8(_mm_unpacklo_epi64(high, ctrl), (hits >> 16) & 0xFF, to);
    return Escape8(_mm_unpackhi_epi64(high, ctrl), hits >> 24, to);
}

// Frames whole blocks from p on, leaving fewer than a block for the caller.
// Out must have room for two bytes per byte taken.
BLOCKS void EscapeBlocks(const unsigned char*& p, const unsigned char* end, const TFrameMarks& m,
                         unsigned char*& out)
{
    const TMarkVectors marks = Broadcast(m);
    const __m128i ctrl = _mm_set1_epi8(static_cast<char>(m.Ctrl));
    const unsigned char* in = p;
    unsigned char* to = out;
    if (end - in >= 2 * Block) {
        __m256i next = Load(in);
        for (; end - in >= 2 * Block; in += Block) {
            const __m256i v = next;
            next = Load(in + Block);
            to = EscapeBlock(v, marks, ctrl, to);
        }
    }
    for (; end - in >= Block; in += Block)
        to = EscapeBlock(Load(in), marks, ctrl, to);
    p = in;
    out = to;
}

// Which control bytes of a block escape the byte after them. In a run of
// control bytes the first, third, ... escape the next one, unless the run
// begins with a byte that the previous block escaped. Bit 32 of Escaped is
// the next block's first byte.
struct TEscapes {
    std::uint32_t Dropped; // control bytes that escape, and are not data
    std::uint64_t Escaped; // bytes that are data whatever they are
};

INLINE_BLOCKS TEscapes FindEscapes(std::uint32_t Ctrl, bool EscapeIn)
{
    constexpr std::uint64_t even = 0x5555555555555555ULL, odd = ~even;
    const std::uint64_t in = EscapeIn ? 1 : 0;
    const std::uint64_t ctrl = Ctrl & ~in; // an escaped control byte is data
    const std::uint64_t starts = ctrl & ~(ctrl << 1);
    // Adding a run's first bit clears the run and sets the bit after it.
    const std::uint64_t evenCarries = ctrl + (starts & even);
    const std::uint64_t oddCarries = ctrl + (starts & odd);
    const std::uint64_t evenRuns = ctrl & ~evenCarries, oddRuns = ctrl & ~oddCarries;
    const std::uint64_t evenEnds = evenCarries & ~ctrl, oddEnds = oddCarries & ~ctrl;
    // A run of odd length escapes the byte after it.
    const std::uint64_t afterOddRuns = (evenEnds & odd) | (oddEnds & even);
    return {static_cast<std::uint32_t>((evenRuns & even) | (oddRuns & odd)), afterOddRuns | in};
}

// Writes the bytes in lanes 0..7 of Bytes that are not in Dropped. Stores 8
// bytes; returns the new end.
INLINE_BLOCKS unsigned char* Drop8(__m128i Bytes, unsigned Dropped, unsigned char* Out)
{
    _mm_storel_epi64(reinterpret_cast<__m128i*>(Out), Shuffle(Bytes, DropShuffles, Dropped));
    return Out + 8 - __builtin_popcount(Dropped);
}

// Takes one block of a frame into Package at Length; false, with nothing
// taken, when a frame starts or ends in the block.
INLINE_BLOCKS bool UnescapeBlock(__m256i v, const TMarkVectors& marks, unsigned char* Package, std::uint32_t& Length,
                                 bool& Escape)
{
    const std::uint32_t frames = Equal(v, marks.Head) | Equal(v, marks.Tail);
    const std::uint32_t ctrl = Equal(v, marks.Ctrl);
    if ((frames | ctrl) == 0 && !Escape) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(Package + Length), v);
        Length += Block;
        return true;
    }
    // Both outcomes, so that a block need not wait for the previous one.
    const TEscapes ifClear = FindEscapes(ctrl, false), ifSet = FindEscapes(ctrl, true);
    const TEscapes escapes = Escape ? ifSet : ifClear;
    if (frames & ~static_cast<std::uint32_t>(escapes.Escaped))
        return false;
    const __m128i low = _mm256_castsi256_si128(v), high = _mm256_extracti128_si256(v, 1);
    unsigned char* to = Package + Length;
    to = Drop8(low, escapes.Dropped & 0xFF, to);
    to = Drop8(_mm_unpackhi_epi64(low, low), (escapes.Dropped >> 8) & 0xFF, to);
    to = Drop8(high, (escapes.Dropped >> 16) & 0xFF, to);
    to = Drop8(_mm_unpackhi_epi64(high, high), escapes.Dropped >> 24, to);
    Length = static_cast<std::uint32_t>(to - Package);
    Escape = (escapes.Escaped >> Block) & 1;
    return true;
}

// Inside a frame, takes whole blocks of data and escapes from p on. Stops
// before a block in which a frame starts or ends, or when less than a block
// of input or of room in the package is left. Distinct marks only.
BLOCKS void UnescapeBlocks(THeadTailDecoder& State, const TFrameMarks& m, unsigned char* Package,
                           std::uint32_t Limit, const unsigned char*& p, const unsigned char* end)
{
    const TMarkVectors marks = Broadcast(m);
    const unsigned char* in = p;
    std::uint32_t length = State.Length;
    bool escape = State.Escape;
    const auto room = [&] { return std::uint64_t {length} + Block <= Limit; };
    bool going = true;
    if (end - in >= 2 * Block) {
        __m256i next = Load(in);
        for (; going && end - in >= 2 * Block && room(); in += going ? Block : 0) {
            const __m256i v = next;
            next = Load(in + Block);
            going = UnescapeBlock(v, marks, Package, length, escape);
        }
    }
    for (; going && end - in >= Block && room(); in += going ? Block : 0)
        going = UnescapeBlock(Load(in), marks, Package, length, escape);
    p = in;
    State.Length = length;
    State.Escape = escape;
}

#undef BLOCKS
#undef INLINE_BLOCKS

#endif // CCDL_CODEC_BLOCKS

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
#if defined(CCDL_CODEC_BLOCKS)
    if (HaveBlocks())
        EscapeBlocks(p, end, Marks, out);
#endif
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
#if defined(CCDL_CODEC_BLOCKS)
    const bool blocks = HaveBlocks() && Distinct(Marks);
#endif
    while (p < end) {
#if defined(CCDL_CODEC_BLOCKS)
        if (blocks && State.InFrame) {
            UnescapeBlocks(State, Marks, Package, Limit, p, end);
            if (p == end)
                break;
        }
#endif
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
