#include "PackageCodec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <numeric>
#include <random>

#include "FakeEngine.h"

using namespace OrvekComm32;
using namespace packagetest;

namespace {

// A third of the bytes are marks, so that every escape path is taken often.
Bytes RandomBytes(std::mt19937& rng, std::size_t n, const TFrameMarks& marks)
{
    std::uniform_int_distribution<int> byte(0, 255), pick(0, 8);
    Bytes out(n);
    for (auto& b : out) {
        const int p = pick(rng);
        b = p == 0 ? marks.Head : p == 1 ? marks.Tail : p == 2 ? marks.Ctrl : static_cast<std::uint8_t>(byte(rng));
    }
    return out;
}

TFrameMarks DistinctMarks(std::mt19937& rng)
{
    std::array<unsigned char, 256> bytes;
    std::iota(bytes.begin(), bytes.end(), 0);
    std::shuffle(bytes.begin(), bytes.end(), rng);
    return {bytes[0], bytes[1], bytes[2]};
}

} // namespace

TEST(PackageCodec, KnownVectorsWithAndWithoutDoubleMark)
{
    const Bytes data {0x01, 0xEB, 0x02};
    EXPECT_EQ(Framed(data, true), (Bytes {0xEB, 0xEB, 0x01, 0xEC, 0xEB, 0x02, 0xEE, 0xEE}));
    EXPECT_EQ(Framed(data, false), (Bytes {0xEB, 0x01, 0xEC, 0xEB, 0x02, 0xEE}));
    // Every mark escaped, and the worst case of 2n + 4 bytes reached.
    const Bytes all {0xEB, 0xEB, 0xEC, 0xEE, 0xEC, 0xEC, 0xEC, 0xEB, 0xEE, 0xEE};
    EXPECT_EQ(Framed({0xEE, 0xEC, 0xEB}), all);
    EXPECT_EQ(all.size(), EncodedSizeLimit(3));
    EXPECT_EQ(Framed({}), (Bytes {0xEB, 0xEB, 0xEE, 0xEE}));
}

TEST(PackageCodec, MalformedAndUnusualInput)
{
    struct Case {
        const char* What;
        Bytes Stream;
        std::uint32_t Limit;
        std::vector<Bytes> Packages;
    };
    const Case cases[] = {
        {"single marks", {0xEB, 0x01, 0xEC, 0xEB, 0x02, 0xEE}, 4096, {{0x01, 0xEB, 0x02}}},
        {"head then tail", {0xEB, 0xEE}, 4096, {Bytes {}}},
        {"unescaped head inside a frame starts over", {0xEB, 0x41, 0xEB, 0x42, 0xEE}, 4096, {{0x42}}},
        {"escaped head outside a frame opens nothing", {0xEC, 0xEB, 0x41, 0xEE}, 4096, {}},
        {"escaped tail is data", {0xEB, 0xEC, 0xEE, 0x41, 0xEE}, 4096, {{0xEE, 0x41}}},
        {"control byte outside a frame swallows one byte", {0xEC, 0xEC, 0xEB, 0x41, 0xEE}, 4096, {{0x41}}},
        {"bytes and tails outside a frame", {0x41, 0xEE, 0x42, 0xEE, 0xEE}, 4096, {}},
        {"too long keeps its first bytes", {0xEB, 1, 2, 3, 4, 5, 6, 0xEE}, 4, {{1, 2, 3, 4}}},
        {"escaped byte beyond the size", {0xEB, 1, 2, 0xEC, 0xEB, 0xEE}, 2, {{1, 2}}},
        {"package size 0", {0xEB, 1, 2, 0xEE}, 0, {Bytes {}}},
    };
    for (const Case& c : cases)
        for (std::size_t chunk : {std::size_t {1}, SIZE_MAX})
            EXPECT_EQ(Unframed(c.Stream, c.Limit, chunk), c.Packages) << c.What << ", chunk " << chunk;
}

// Any data up to the package size, framed with any three distinct marks,
// with or without the double mark and with noise between frames, parses back
// to itself however the stream is cut.
TEST(PackageCodec, EveryPackageParsesBackToItselfInAnyChunks)
{
    std::mt19937 rng {31337};
    std::uniform_int_distribution<std::uint32_t> limitOf(0, 5000), chunkOf(1, 2049);
    for (int round = 0; round < 1500; ++round) {
        const std::uint32_t limit = limitOf(rng);
        std::uint32_t n = std::uniform_int_distribution<std::uint32_t>(0, limit)(rng);
        if (round % 4 == 0) // lengths at the end of the range
            n = limit - std::min<std::uint32_t>(limit, round % 3);
        const TFrameMarks marks = round % 5 == 0 ? TFrameMarks {} : DistinctMarks(rng);
        const Bytes first = RandomBytes(rng, n, marks), second = RandomBytes(rng, n / 2, marks);

        Bytes stream = Framed(first, round % 2 == 1, marks);
        ASSERT_LE(stream.size(), EncodedSizeLimit(n));
        // Noise that opens nothing: a stray tail, an escaped head.
        stream.insert(stream.end(), {marks.Tail, marks.Ctrl, marks.Head, marks.Tail});
        const Bytes framed = Framed(second, round % 3 == 1, marks);
        stream.insert(stream.end(), framed.begin(), framed.end());

        const std::size_t chunk = round % 7 == 0 ? SIZE_MAX : chunkOf(rng);
        ASSERT_EQ(Unframed(stream, limit, chunk, marks), (std::vector<Bytes> {first, second}))
            << "round " << round << " n=" << n;
    }
}
