#include "ServiceFrame.h"

#include <random>

#include <gtest/gtest.h>

#include "FrameText.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(ServiceFrame, RefusesCountsOutsideOneToTwenty)
{
    const Bytes longest(MaxServiceCommand + 1, 0x55);
    for (int count : {0, -1, MaxServiceCommand + 1})
        EXPECT_TRUE(BuildServiceFrame(longest.data(), count).empty()) << count;
    EXPECT_TRUE(BuildServiceFrame(nullptr, 1).empty());
}

// Each random command's frame is checked against the rules directly: the
// fixed bytes, the command in place, the exclusive-or of offsets 1 to L
// being zero and the trailing big-endian sum. The window tests hold frames
// of known commands byte for byte.
TEST(ServiceFrame, RandomCommandsKeepTheCheckAndSum)
{
    std::mt19937 rng{20240611};
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 2000; ++round) {
        Bytes command(static_cast<std::size_t>(1 + round % MaxServiceCommand));
        for (auto& b : command)
            b = static_cast<std::uint8_t>(round % 7 == 0 ? 0xFF : byte(rng));
        const Bytes frame = BuildServiceFrame(command.data(), static_cast<int>(command.size()));
        const std::size_t L = command.size() + 7;
        ASSERT_EQ(frame.size(), L + 3);
        Bytes expected{0x7E, 0x10, static_cast<std::uint8_t>(L), 0x00, frame[4], 0xAB, 0x86, 0x00};
        expected.insert(expected.end(), command.begin(), command.end());
        EXPECT_EQ(Bytes(frame.begin(), frame.end() - 2), expected);

        int parity = 0;
        long sum = 0;
        for (std::size_t i = 1; i <= L; ++i) {
            parity ^= frame[i];
            sum += frame[i];
        }
        EXPECT_EQ(parity, 0) << FrameText(frame);
        EXPECT_EQ(frame[L + 1] * 256 + frame[L + 2], sum % 65536) << FrameText(frame);
    }
}

} // namespace
