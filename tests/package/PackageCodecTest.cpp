#include "PackageCodec.h"

#include <gtest/gtest.h>

#include <random>

#include "PtyPort.h"

using namespace OrvekComm32;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr TFrameMarks Default {};

Bytes Encode(const Bytes& data, bool doubleMark, const TFrameMarks& marks = Default)
{
    Bytes out(EncodedSizeLimit(static_cast<std::uint32_t>(data.size())));
    const std::uint32_t n =
        EncodePackage(data.data(), static_cast<std::uint32_t>(data.size()), marks, doubleMark, out.data());
    EXPECT_LE(n, out.size());
    out.resize(n);
    return out;
}

// The codec's decoder with its package buffer, fed in pieces.
struct Receiver {
    explicit Receiver(std::uint32_t limit, const TFrameMarks& marks = Default)
        : Marks(marks), Package(limit), Limit(limit)
    {
    }

    void Feed(const Bytes& bytes, std::size_t chunk = SIZE_MAX)
    {
        for (std::size_t at = 0; at < bytes.size(); at += chunk) {
            const std::size_t n = std::min(chunk, bytes.size() - at);
            DecodeHeadTail(State, Marks, Package.data(), Limit, bytes.data() + at, n, &Receiver::Sink, this);
        }
    }

    static void Sink(void* context, const unsigned char* package, std::uint32_t length)
    {
        static_cast<Receiver*>(context)->Packages.emplace_back(package, package + length);
    }

    TFrameMarks Marks;
    THeadTailDecoder State;
    Bytes Package;
    std::uint32_t Limit;
    std::vector<Bytes> Packages;
};

std::vector<Bytes> Decode(const Bytes& stream, std::uint32_t limit = 4096, std::size_t chunk = SIZE_MAX)
{
    Receiver receiver(limit);
    receiver.Feed(stream, chunk);
    return receiver.Packages;
}

// A third of the bytes are marks, so that every escape path is taken often.
Bytes RandomBytes(std::mt19937& rng, std::size_t n, const TFrameMarks& marks = Default)
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
    std::uniform_int_distribution<int> byte(0, 255);
    TFrameMarks m;
    m.Head = static_cast<unsigned char>(byte(rng));
    do
        m.Tail = static_cast<unsigned char>(byte(rng));
    while (m.Tail == m.Head);
    do
        m.Ctrl = static_cast<unsigned char>(byte(rng));
    while (m.Ctrl == m.Head || m.Ctrl == m.Tail);
    return m;
}

} // namespace

TEST(PackageCodec, KnownVectorsWithAndWithoutDoubleMark)
{
    const Bytes data {0x01, 0xEB, 0x02};
    const Bytes doubled {0xEB, 0xEB, 0x01, 0xEC, 0xEB, 0x02, 0xEE, 0xEE};
    const Bytes single {0xEB, 0x01, 0xEC, 0xEB, 0x02, 0xEE};
    EXPECT_EQ(testsupport::Hex(Encode(data, true)), testsupport::Hex(doubled));
    EXPECT_EQ(testsupport::Hex(Encode(data, false)), testsupport::Hex(single));
    EXPECT_EQ(Decode(doubled), std::vector<Bytes> {data});
    EXPECT_EQ(Decode(single), std::vector<Bytes> {data});

    // Every mark escaped, and the worst case of 2n + 4 bytes reached.
    const Bytes marks {0xEE, 0xEC, 0xEB};
    const Bytes all {0xEB, 0xEB, 0xEC, 0xEE, 0xEC, 0xEC, 0xEC, 0xEB, 0xEE, 0xEE};
    EXPECT_EQ(Encode(marks, true), all);
    EXPECT_EQ(all.size(), EncodedSizeLimit(3));
    EXPECT_EQ(Encode({}, true), (Bytes {0xEB, 0xEB, 0xEE, 0xEE}));
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
            EXPECT_EQ(Decode(c.Stream, c.Limit, chunk), c.Packages) << c.What << ", chunk " << chunk;
}

TEST(PackageCodec, UnfinishedFrameWaitsForItsTail)
{
    Receiver receiver(4096);
    receiver.Feed({0xEB, 0x41, 0x42, 0xEC});
    EXPECT_TRUE(receiver.Packages.empty());
    EXPECT_TRUE(receiver.State.InFrame && receiver.State.Escape);
    EXPECT_EQ(receiver.State.Length, 2u);
    receiver.Feed({0xEE, 0x43, 0xEE});
    EXPECT_EQ(receiver.Packages, std::vector<Bytes> {(Bytes {0x41, 0x42, 0xEE, 0x43})});
    EXPECT_FALSE(receiver.State.InFrame);
    EXPECT_EQ(receiver.State.Length, 0u);
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
        const TFrameMarks marks = round % 5 == 0 ? Default : DistinctMarks(rng);
        const Bytes first = RandomBytes(rng, n, marks), second = RandomBytes(rng, n / 2, marks);

        Bytes stream = Encode(first, round % 2 == 1, marks);
        // Noise that opens nothing: a stray tail, an escaped head.
        stream.insert(stream.end(), {marks.Tail, marks.Ctrl, marks.Head, marks.Tail});
        const Bytes framed = Encode(second, round % 3 == 1, marks);
        stream.insert(stream.end(), framed.begin(), framed.end());
        ASSERT_LE(framed.size(), EncodedSizeLimit(n / 2));

        Receiver receiver(limit, marks);
        receiver.Feed(stream, round % 7 == 0 ? SIZE_MAX : chunkOf(rng));
        ASSERT_EQ(receiver.Packages, (std::vector<Bytes> {first, second})) << "round " << round << " n=" << n;
    }
}
