// Head/tail reception fed arbitrary byte streams in arbitrary chunks.
//
// The input's first bytes choose the frame marks, the double frame mark, the
// package size and the chunking; the rest is the stream. Two properties:
//   - the stream parses to the same packages however it is cut into chunks,
//     and no package exceeds the package size (AddressSanitizer watches the
//     buffer bounds: the package buffer is exactly the package size);
//   - with distinct marks, the stream's first package-size bytes, encoded,
//     parse back to themselves exactly once.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
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

// Decodes the stream in chunks whose sizes follow chunkSeed (0: one call).
Packages Decode(const TFrameMarks& marks, std::uint32_t limit, const unsigned char* bytes, std::size_t count,
                unsigned chunkSeed)
{
    Packages packages;
    THeadTailDecoder state;
    auto buffer = std::make_unique<unsigned char[]>(limit);
    for (std::size_t done = 0, chunk = 0; done < count; done += chunk, chunkSeed = chunkSeed * 31 + 7) {
        chunk = chunkSeed == 0 ? count - done : std::min<std::size_t>(1 + chunkSeed % 17, count - done);
        DecodeHeadTail(state, marks, buffer.get(), limit, bytes + done, chunk, Collect, &packages);
        if (state.Length > limit)
            std::abort();
    }
    return packages;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 6)
        return 0;
    const TFrameMarks marks {data[0], data[1], data[2]};
    const bool doubleFrameMark = data[3] & 1;
    // Small sizes cut packages short often; large ones carry long runs of
    // plain bytes: the low six bits scaled by 1, 8, 64 or 512.
    const std::uint32_t limit = 1 + (data[4] & 0x3Fu) * (1u << (3 * (data[4] >> 6)));
    const unsigned chunkSeed = data[5] | 1;
    const std::vector<unsigned char> stream(data + 6, data + size);

    const Packages whole = Decode(marks, limit, stream.data(), stream.size(), 0);
    if (whole != Decode(marks, limit, stream.data(), stream.size(), chunkSeed))
        std::abort();
    for (const auto& package : whole)
        if (package.size() > limit)
            std::abort();

    if (marks.Head == marks.Tail || marks.Head == marks.Ctrl || marks.Tail == marks.Ctrl)
        return 0;
    const std::vector<unsigned char> sent(stream.begin(), stream.begin() + std::min<std::size_t>(stream.size(), limit));
    std::vector<unsigned char> line(EncodedSizeLimit(static_cast<std::uint32_t>(sent.size())));
    const std::uint32_t written =
        EncodePackage(sent.data(), static_cast<std::uint32_t>(sent.size()), marks, doubleFrameMark, line.data());
    if (written > line.size() || Decode(marks, limit, line.data(), written, chunkSeed) != Packages {sent})
        std::abort();
    return 0;
}
