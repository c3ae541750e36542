// Head/tail reception fed arbitrary byte streams in arbitrary chunks.
//
// The input's first bytes choose the frame marks, the double frame mark, the
// package size and the chunking; the rest is the stream. Two properties:
//   - the stream parses to the same packages however it is cut into chunks,
//     and no package exceeds the package size (AddressSanitizer watches the
//     buffer bounds: the package buffer is exactly the package size);
//   - with distinct marks, the stream's first package-size bytes, encoded,
//     parse back to themselves exactly once.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "PackageCodec.h"

using namespace OrvekComm32;

namespace {

using Packages = std::vector<std::vector<unsigned char>>;

void Collect(void* context, const unsigned char* package, std::uint32_t length)
{
    static_cast<Packages*>(context)->emplace_back(package, package + length);
}

struct Settings {
    TFrameMarks Marks;
    bool DoubleFrameMark = false;
    std::uint32_t Limit = 1;
    unsigned char ChunkSeed = 0;
};

// Decodes the stream in chunks whose sizes follow ChunkSeed (0: one call).
Packages Decode(const Settings& s, const unsigned char* bytes, std::size_t count, unsigned char chunkSeed)
{
    Packages packages;
    THeadTailDecoder state;
    auto buffer = std::make_unique<unsigned char[]>(s.Limit);
    std::size_t done = 0;
    unsigned step = chunkSeed;
    while (done < count) {
        std::size_t chunk = chunkSeed == 0 ? count - done : 1 + step % 17;
        if (chunk > count - done)
            chunk = count - done;
        DecodeHeadTail(state, s.Marks, buffer.get(), s.Limit, bytes + done, chunk, Collect, &packages);
        if (state.Length > s.Limit)
            std::abort();
        done += chunk;
        step = step * 31 + 7;
    }
    for (const auto& package : packages)
        if (package.size() > s.Limit)
            std::abort();
    return packages;
}

void CheckRoundTrip(const Settings& s, const unsigned char* data, std::uint32_t length)
{
    std::vector<unsigned char> line(EncodedSizeLimit(length));
    const std::uint32_t written = EncodePackage(data, length, s.Marks, s.DoubleFrameMark, line.data());
    if (written > line.size())
        std::abort();
    const Packages packages = Decode(s, line.data(), written, s.ChunkSeed);
    if (packages.size() != 1 || packages[0].size() != length
        || (length && std::memcmp(packages[0].data(), data, length) != 0))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 6)
        return 0;
    Settings s;
    s.Marks = TFrameMarks { data[0], data[1], data[2] };
    s.DoubleFrameMark = data[3] & 1;
    // Small sizes cut packages short often; large ones carry long runs of
    // plain bytes: the low six bits scaled by 1, 8, 64 or 512.
    s.Limit = 1 + (data[4] & 0x3Fu) * (1u << (3 * (data[4] >> 6)));
    s.ChunkSeed = data[5];
    const unsigned char* stream = data + 6;
    const std::size_t count = size - 6;

    if (Decode(s, stream, count, 0) != Decode(s, stream, count, s.ChunkSeed | 1))
        std::abort();

    const bool distinct = s.Marks.Head != s.Marks.Tail && s.Marks.Head != s.Marks.Ctrl
        && s.Marks.Tail != s.Marks.Ctrl;
    if (distinct)
        CheckRoundTrip(s, stream, static_cast<std::uint32_t>(count < s.Limit ? count : s.Limit));
    return 0;
}
