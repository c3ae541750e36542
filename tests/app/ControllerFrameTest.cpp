#include "ControllerFrame.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace ControllerFrame;

TEST(ControllerFrame, CarriesLittleEndianLengthCodeAndData)
{
    EXPECT_EQ(Build(Connect), (Bytes{0x7E, 0x01, 0x00, 0x02}));
    EXPECT_EQ(Build(OffSequence, Bytes{1, 2, 3, 4}), (Bytes{0x7E, 0x05, 0x00, 0x04, 1, 2, 3, 4}));
}

TEST(ControllerFrame, CutsTheDataAtTheLargestFrame)
{
    Bytes data(600);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 7);
    const Bytes frame = Build(OnSequence, data);
    ASSERT_EQ(frame.size(), 516u);
    EXPECT_EQ(frame[1], 0x01); // 513, little-endian
    EXPECT_EQ(frame[2], 0x02);
    EXPECT_TRUE(std::equal(frame.begin() + 4, frame.end(), data.begin()));
}

TEST(ControllerFrame, LineSettingsCarryTheItemIndexesAsBytes)
{
    EXPECT_EQ(BuildLineSettings(2, -1), (Bytes{0x7E, 0x03, 0x00, 0x08, 0x02, 0xFF}));
    EXPECT_EQ(BuildLineSettings(0, 6), (Bytes{0x7E, 0x03, 0x00, 0x08, 0x00, 0x06}));
}

TEST(ControllerFrame, ReceivedCodeLooksOnlyAtTheMarkAndByteThree)
{
    EXPECT_EQ(ReceivedCode(Bytes{0x7E, 0x01, 0x00, 0x02}), 0x02);
    EXPECT_EQ(ReceivedCode(Bytes{0x7E, 0xFF, 0xFF, 0x02}), 0x02);
    EXPECT_EQ(ReceivedCode(Bytes{0x7E, 0x01, 0x00, 0x03, 0x7E, 0x01, 0x00, 0x02}), 0x03);
    EXPECT_EQ(ReceivedCode(Bytes{0x7F, 0x01, 0x00, 0x02}), std::nullopt);
    EXPECT_EQ(ReceivedCode(Bytes{0x7E, 0x01, 0x00}), std::nullopt);
    EXPECT_EQ(ReceivedCode(Bytes{}), std::nullopt);
}

} // namespace
