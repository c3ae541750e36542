#include "ServiceFrame.h"

#include <random>

#include <gtest/gtest.h>

#include "PtyPort.h"

namespace {

using testsupport::Bytes;
using testsupport::Hex;

Bytes Frame(const Bytes& command)
{
    return BuildServiceFrame(command.data(), static_cast<int>(command.size()));
}

TEST(ServiceFrame, KnownCommands)
{
    EXPECT_EQ(Hex(Frame({0xA2})), "7E 10 08 00 97 AB 86 00 A2 02 82");
    EXPECT_EQ(Hex(Frame({0xA1, 0x01})), "7E 10 09 00 94 AB 86 00 A1 01 02 80");

    Bytes allZero(13, 0x00);
    allZero[0] = 0xA3;
    const Bytes zeroFrame = Frame(allZero);
    ASSERT_EQ(zeroFrame.size(), 23u);
    EXPECT_EQ(Hex(zeroFrame), "7E 10 14 00 8A AB 86 00 A3 00 00 00 00 00 00 00 00 00 00 00 00 02 82");

    Bytes levels{0xA3, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    const Bytes levelFrame = Frame(levels);
    ASSERT_EQ(levelFrame.size(), 23u);
    EXPECT_EQ(Hex(levelFrame), "7E 10 14 00 86 AB 86 00 A3 01 02 03 04 05 06 07 08 09 0A 0B 0C 02 CC");
}

TEST(ServiceFrame, RefusesCountsOutsideOneToTwenty)
{
    const Bytes longest(MaxServiceCommand + 1, 0x55);
    EXPECT_TRUE(BuildServiceFrame(longest.data(), 0).empty());
    EXPECT_TRUE(BuildServiceFrame(longest.data(), -1).empty());
    EXPECT_TRUE(BuildServiceFrame(longest.data(), MaxServiceCommand + 1).empty());
    EXPECT_TRUE(BuildServiceFrame(nullptr, 1).empty());
    EXPECT_EQ(BuildServiceFrame(longest.data(), MaxServiceCommand).size(), std::size_t(MaxServiceCommand + 10));
}

// Each random command's frame is checked against the rules directly: the
// fixed bytes, the command in place, the exclusive-or of offsets 1 to L
// being zero and the trailing big-endian sum.
TEST(ServiceFrame, RandomCommandsKeepTheCheckAndSum)
{
    std::mt19937 rng{20240611};
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 2000; ++round) {
        const int n = 1 + round % MaxServiceCommand;
        Bytes command(static_cast<std::size_t>(n));
        for (auto& b : command)
            b = static_cast<std::uint8_t>(round % 7 == 0 ? 0xFF : byte(rng));
        const Bytes frame = Frame(command);
        ASSERT_EQ(frame.size(), command.size() + 10);

        const std::size_t L = frame[2];
        ASSERT_EQ(L, command.size() + 7);
        EXPECT_EQ(frame[0], 0x7E);
        EXPECT_EQ(frame[1], 0x10);
        EXPECT_EQ(frame[3], 0x00);
        EXPECT_EQ(Bytes(frame.begin() + 5, frame.begin() + 8), (Bytes{0xAB, 0x86, 0x00}));
        EXPECT_EQ(Bytes(frame.begin() + 8, frame.begin() + 8 + n), command);

        int parity = 0;
        long sum = 0;
        for (std::size_t i = 1; i <= L; ++i) {
            parity ^= frame[i];
            sum += frame[i];
        }
        EXPECT_EQ(parity, 0) << Hex(frame);
        EXPECT_EQ(frame[L + 1] * 256 + frame[L + 2], sum % 65536) << Hex(frame);
    }
}

TEST(ServiceFrame, TextIsUpperCaseHexPairsWithoutTrailingBlank)
{
    EXPECT_EQ(FrameText(Bytes{}), "");
    EXPECT_EQ(FrameText(Bytes{0x0A}), "0A");
    EXPECT_EQ(FrameText(Bytes{0x7E, 0xab, 0x00, 0xFF}), "7E AB 00 FF");
}

} // namespace
