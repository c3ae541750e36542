#include "PackageCodec.h"

#include <gtest/gtest.h>

#include <array>
#include <random>

#include "PtyPort.h"
#include "StuffingModel.h"

using namespace OrvekComm32;
using stuffingmodel::Bytes;

namespace {

constexpr TFrameMarks Default {};

stuffingmodel::Marks ModelMarks(const TFrameMarks& m)
{
    return {m.Head, m.Tail, m.Ctrl};
}

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

// The packages delivered so far and the state carried into the next call.
testing::AssertionResult SameAsModel(const Receiver& receiver, const stuffingmodel::Decoder& model)
{
    if (receiver.Packages != model.Packages)
        return testing::AssertionFailure() << receiver.Packages.size() << " packages, the model "
                                           << model.Packages.size() << ", or their bytes differ";
    if (receiver.State.InFrame != model.InFrame || receiver.State.Escape != model.Escape)
        return testing::AssertionFailure() << "in frame " << receiver.State.InFrame << " escape "
                                           << receiver.State.Escape << ", the model " << model.InFrame
                                           << " " << model.Escape;
    if (Bytes(receiver.Package.begin(), receiver.Package.begin() + receiver.State.Length) != model.Current)
        return testing::AssertionFailure() << "the package begun differs from the model's";
    return testing::AssertionSuccess();
}

std::vector<Bytes> Decode(const Bytes& stream, std::uint32_t limit = 4096, std::size_t chunk = SIZE_MAX)
{
    Receiver receiver(limit);
    receiver.Feed(stream, chunk);
    return receiver.Packages;
}

Bytes RandomBytes(std::mt19937& rng, std::size_t n, const TFrameMarks& marks = Default)
{
    // A third of the bytes are marks, so that runs between them are short
    // and every escape path is taken often.
    std::uniform_int_distribution<int> byte(0, 255), pick(0, 8);
    Bytes out(n);
    for (auto& b : out) {
        switch (pick(rng)) {
        case 0: b = marks.Head; break;
        case 1: b = marks.Tail; break;
        case 2: b = marks.Ctrl; break;
        default: b = static_cast<std::uint8_t>(byte(rng));
        }
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

TEST(PackageCodec, EncodingMatchesTheModelAcrossLengthsAndMarks)
{
    std::mt19937 rng {20240611};
    // Lengths around the 16-byte blocks the mark search takes at a time.
    for (std::size_t n = 0; n < 70; ++n) {
        for (int round = 0; round < 20; ++round) {
            const TFrameMarks marks = round == 0 ? Default : DistinctMarks(rng);
            const Bytes data = RandomBytes(rng, n, marks);
            const bool doubleMark = round % 2 == 0;
            ASSERT_EQ(Encode(data, doubleMark, marks), stuffingmodel::Encode(data, ModelMarks(marks), doubleMark))
                << "n=" << n << " round=" << round;
        }
    }
}

// ---------------------------------------------------------------------------
// Malformed and unusual input, one case each

TEST(PackageCodecInput, HeadThenTailGivesAnEmptyPackage)
{
    EXPECT_EQ(Decode({0xEB, 0xEE}), std::vector<Bytes> {Bytes {}});
}

TEST(PackageCodecInput, UnescapedHeadInsideAFrameStartsOver)
{
    EXPECT_EQ(Decode({0xEB, 0x41, 0xEB, 0x42, 0xEE}), std::vector<Bytes> {Bytes {0x42}});
}

TEST(PackageCodecInput, EscapedHeadOutsideAFrameOpensNothing)
{
    Receiver receiver(4096);
    receiver.Feed({0xEC, 0xEB, 0x41, 0xEE});
    EXPECT_TRUE(receiver.Packages.empty());
    EXPECT_FALSE(receiver.State.InFrame);
}

TEST(PackageCodecInput, EscapedTailIsData)
{
    EXPECT_EQ(Decode({0xEB, 0xEC, 0xEE, 0x41, 0xEE}), std::vector<Bytes> {(Bytes {0xEE, 0x41})});
}

TEST(PackageCodecInput, ControlByteOutsideAFrameSwallowsOnlyTheNextByte)
{
    // The second EC is the swallowed byte, so the head after it opens.
    EXPECT_EQ(Decode({0xEC, 0xEC, 0xEB, 0x41, 0xEE}), std::vector<Bytes> {Bytes {0x41}});
}

TEST(PackageCodecInput, BytesAndTailsOutsideAFrameAreIgnored)
{
    EXPECT_TRUE(Decode({0x41, 0xEE, 0x42, 0xEE, 0xEE}).empty());
}

TEST(PackageCodecInput, FrameLongerThanThePackageSizeKeepsItsFirstBytes)
{
    EXPECT_EQ(Decode({0xEB, 1, 2, 3, 4, 5, 6, 0xEE}, 4), std::vector<Bytes> {(Bytes {1, 2, 3, 4})});
    // An escaped byte beyond the size is dropped the same way.
    EXPECT_EQ(Decode({0xEB, 1, 2, 0xEC, 0xEB, 0xEE}, 2), std::vector<Bytes> {(Bytes {1, 2})});
    EXPECT_EQ(Decode({0xEB, 1, 2, 0xEE}, 0), std::vector<Bytes> {Bytes {}});
}

TEST(PackageCodecInput, UnfinishedFrameWaitsForItsTail)
{
    Receiver receiver(4096);
    receiver.Feed({0xEB, 0x41, 0x42, 0xEC});
    EXPECT_TRUE(receiver.Packages.empty());
    EXPECT_TRUE(receiver.State.InFrame);
    EXPECT_TRUE(receiver.State.Escape);
    EXPECT_EQ(receiver.State.Length, 2u);
    receiver.Feed({0xEE, 0x43, 0xEE});
    EXPECT_EQ(receiver.Packages, std::vector<Bytes> {(Bytes {0x41, 0x42, 0xEE, 0x43})});
    EXPECT_FALSE(receiver.State.InFrame);
    EXPECT_EQ(receiver.State.Length, 0u);
}

// ---------------------------------------------------------------------------
// Streams

TEST(PackageCodecStream, ChunkSizesDoNotChangeThePackages)
{
    std::mt19937 rng {7};
    const std::uint32_t limit = 4096;
    const std::vector<std::size_t> lengths {0, 1, 2, 15, 16, 17, 31, 32, 33, 1023, 2047, 2048, 2049, 4095, 4096};
    std::vector<Bytes> packages;
    Bytes stream;
    for (std::size_t n : lengths) {
        packages.push_back(RandomBytes(rng, n));
        const Bytes framed = Encode(packages.back(), packages.size() % 2 == 0);
        stream.insert(stream.end(), framed.begin(), framed.end());
        // Noise between frames that opens nothing.
        stream.insert(stream.end(), {0x55, 0xEE, 0xEC, 0xEB, 0x66});
    }
    for (std::size_t chunk : {1, 2, 3, 7, 13, 64, 2047, 2048, 2049, 4099, 65536}) {
        ASSERT_EQ(Decode(stream, limit, chunk), packages) << "chunk " << chunk;
    }
}

TEST(PackageCodecStream, MatchesTheModelOnArbitraryBytes)
{
    std::mt19937 rng {99};
    std::uniform_int_distribution<int> byte(0, 255), length(0, 600), limitOf(0, 300), chunkOf(1, 97);
    for (int round = 0; round < 2000; ++round) {
        // Now and then marks that coincide, which no encoder would use but a
        // setting can produce.
        TFrameMarks marks = DistinctMarks(rng);
        if (round % 10 == 1)
            marks.Tail = marks.Head;
        if (round % 10 == 2)
            marks.Ctrl = marks.Tail;
        if (round % 10 == 3)
            marks.Ctrl = marks.Head;
        const auto limit = static_cast<std::uint32_t>(limitOf(rng));
        const Bytes stream = RandomBytes(rng, static_cast<std::size_t>(length(rng)), marks);

        stuffingmodel::Decoder model(ModelMarks(marks), limit);
        model.Feed(stream);
        Receiver receiver(limit, marks);
        receiver.Feed(stream, static_cast<std::size_t>(chunkOf(rng)));

        ASSERT_TRUE(SameAsModel(receiver, model)) << "round " << round;
    }
}

// Any data up to the package size, framed with any three distinct marks,
// with or without the double mark, parses back to itself.
TEST(PackageCodecStream, EveryPackageParsesBackToItself)
{
    std::mt19937 rng {31337};
    std::uniform_int_distribution<std::uint32_t> limitOf(0, 5000);
    for (int round = 0; round < 1500; ++round) {
        const std::uint32_t limit = limitOf(rng);
        // Lengths near the ends of the range are the interesting ones.
        std::uniform_int_distribution<std::uint32_t> anyLength(0, limit);
        std::uint32_t n = anyLength(rng);
        if (round % 4 == 0)
            n = limit - std::min<std::uint32_t>(limit, round % 3);
        const TFrameMarks marks = DistinctMarks(rng);
        const Bytes data = RandomBytes(rng, n, marks);
        const bool doubleMark = round % 2 == 1;

        const Bytes framed = Encode(data, doubleMark, marks);
        ASSERT_LE(framed.size(), EncodedSizeLimit(n));
        Receiver receiver(limit, marks);
        receiver.Feed(framed, 1 + round % 2049);
        ASSERT_EQ(receiver.Packages, std::vector<Bytes> {data}) << "round " << round << " n=" << n;
    }
}

// The codec takes whole blocks at a time where it can; the byte-wise model
// decides what every byte means. Streams with few marks, runs of control
// bytes of any length across block edges, frames of every size around the
// package size, and chunk edges anywhere, compared with the model.
TEST(PackageCodecStream, BlockwiseCodingMatchesTheByteWiseModel)
{
    std::mt19937 rng {4242};
    std::uniform_int_distribution<int> byte(0, 255), coin(0, 99);
    for (int round = 0; round < 3000; ++round) {
        const TFrameMarks marks = round % 5 == 0 ? Default : DistinctMarks(rng);
        const int density = std::array {0, 1, 3, 10, 30}[round % 5]; // percent of mark bytes
        // Mostly data with a few marks; now and then a run of control bytes
        // and a stray head or tail.
        auto data = [&](std::size_t n) {
            Bytes out(n);
            for (std::size_t i = 0; i < n; ++i) {
                out[i] = static_cast<std::uint8_t>(byte(rng));
                if (coin(rng) < density) {
                    const unsigned char pick[] = {marks.Head, marks.Tail, marks.Ctrl, marks.Ctrl};
                    out[i] = pick[byte(rng) % 4];
                }
                if (coin(rng) == 0)
                    for (int run = byte(rng) % 70; run > 0 && i + 1 < n; --run)
                        out[++i] = marks.Ctrl;
            }
            return out;
        };

        const auto limit = static_cast<std::uint32_t>(std::uniform_int_distribution<int>(0, 700)(rng));
        Bytes stream;
        std::vector<Bytes> sent;
        for (int frame = 0; frame < 4; ++frame) {
            sent.push_back(data(std::uniform_int_distribution<std::size_t>(0, limit + 70)(rng)));
            // Raw data between frames: noise the receiver must skip or mis-frame
            // exactly as the model does.
            const Bytes framed = Encode(sent.back(), coin(rng) < 50, marks);
            stream.insert(stream.end(), framed.begin(), framed.end());
            const Bytes noise = data(byte(rng) % 80);
            stream.insert(stream.end(), noise.begin(), noise.end());
        }
        for (const Bytes& package : sent)
            ASSERT_EQ(Encode(package, true, marks), stuffingmodel::Encode(package, ModelMarks(marks), true));

        stuffingmodel::Decoder model(ModelMarks(marks), limit);
        model.Feed(stream);
        Receiver receiver(limit, marks);
        receiver.Feed(stream, round % 3 == 0 ? SIZE_MAX : static_cast<std::size_t>(1 + byte(rng) * 3));
        ASSERT_TRUE(SameAsModel(receiver, model)) << "round " << round;
    }
}

TEST(PackageCodecStream, UnalignedBuffersCodeAlike)
{
    // The block paths load and store at any address.
    std::mt19937 rng {8};
    const Bytes data = RandomBytes(rng, 3000);
    const Bytes expected = stuffingmodel::Encode(data, {}, true);
    for (std::size_t shift = 0; shift < 32; shift += 5) {
        Bytes source(shift + data.size());
        std::copy(data.begin(), data.end(), source.begin() + static_cast<std::ptrdiff_t>(shift));
        Bytes out(shift + EncodedSizeLimit(3000));
        const std::uint32_t n = EncodePackage(source.data() + shift, 3000, Default, true, out.data() + shift);
        ASSERT_EQ(Bytes(out.data() + shift, out.data() + shift + n), expected) << shift;

        Bytes line(shift + expected.size());
        std::copy(expected.begin(), expected.end(), line.begin() + static_cast<std::ptrdiff_t>(shift));
        Bytes package(shift + 4096);
        THeadTailDecoder state;
        std::vector<Bytes> got;
        auto sink = [](void* context, const unsigned char* p, std::uint32_t length) {
            static_cast<std::vector<Bytes>*>(context)->emplace_back(p, p + length);
        };
        DecodeHeadTail(state, Default, package.data() + shift, 4096, line.data() + shift, expected.size(), sink, &got);
        ASSERT_EQ(got, std::vector<Bytes> {data}) << shift;
    }
}
