// The simulator's pieces in process: its command line, the frame cutting,
// the controller's answers and fault modes, and the configuration forms.

#include <gtest/gtest.h>

#include "Configuration.h"
#include "Controller.h"
#include "FrameReader.h"
#include "Options.h"

using namespace ccsim;

namespace {

TParseResult Parse(std::vector<std::string> args)
{
    return ParseOptions(args);
}

std::vector<TStreamItem> FeedAll(TFrameReader& reader, const Bytes& bytes)
{
    std::vector<TStreamItem> items;
    reader.Feed(bytes, items);
    return items;
}

} // namespace

TEST(SimOptions, ValuesInBothSpellingsAndBadCommandLinesWithTheReason)
{
    const auto given = Parse({"--port", "\\\\.\\COM12", "--baud=9600", "--drop-after=0", "--delay", "250"});
    ASSERT_EQ(given.Error, "");
    EXPECT_EQ(given.Options.ComNumber, 12);
    EXPECT_EQ(given.Options.Baud, 9600);
    EXPECT_EQ(given.Options.DropAfter, 0);
    EXPECT_FALSE(Parse({}).Options.DropAfter.has_value());

    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--port", "COM0"}, "--port: wants"},
        {{"--baud", "12"}, "--baud: \"12\" is not"},
        {{"--dump="}, "--dump"},
        {{"--silent", "--garbage"}, "excludes"},
    };
    for (const auto& [args, reason] : cases) {
        const auto result = Parse(args);
        EXPECT_NE(result.Error.find(reason), std::string::npos) << args[0] << " gave \"" << result.Error << "\"";
    }
}

TEST(FrameReader, CutsFramesByTheirLengthAcrossChunks)
{
    TFrameReader reader;
    EXPECT_TRUE(FeedAll(reader, {0x7E, 0x05}).empty());
    EXPECT_TRUE(reader.HasPartial());
    const auto items = FeedAll(reader, {0x00, 0x04, 1, 2, 3, 4, 0x7E, 0x01, 0x00, 0x02, 0x7E});
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].Kind, TStreamItem::Frame);
    EXPECT_EQ(items[0].Data, (Bytes {0x7E, 0x05, 0x00, 0x04, 1, 2, 3, 4}));
    EXPECT_EQ(items[1].Data, (Bytes {0x7E, 0x01, 0x00, 0x02}));
    EXPECT_EQ(reader.DropPartial(), (Bytes {0x7E}));
    EXPECT_FALSE(reader.HasPartial());
}

TEST(FrameReader, LargestFrameIsWholeAndImpossibleLengthsAreGarbage)
{
    TFrameReader reader;
    Bytes largest = {0x7E, 0x01, 0x02, 0x04};
    largest.resize(516, 0xAA);
    auto items = FeedAll(reader, largest);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].Data.size(), 516u);

    // Length 0 and 514 cannot come from the tool: their marks are noise
    // and the scan resynchronises on the next mark.
    items = FeedAll(reader, {0x11, 0x7E, 0x00, 0x00, 0x7E, 0x02, 0x02, 0x7E, 0x01, 0x00, 0x03});
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].Kind, TStreamItem::Garbage);
    EXPECT_EQ(items[0].Data, (Bytes {0x11, 0x7E, 0x00, 0x00, 0x7E, 0x02, 0x02}));
    EXPECT_EQ(items[1].Kind, TStreamItem::Frame);
    EXPECT_EQ(items[1].Data, (Bytes {0x7E, 0x01, 0x00, 0x03}));
    EXPECT_FALSE(reader.HasPartial());
}

// ccdl's tests run whole downloads against the simulator.
TEST(Controller, ANewDownloadForgetsTheLastAndUnknownCommandsAreNotAnswered)
{
    TController controller;
    controller.Receive({0x7E, 0x03, 0x00, 0x08, 0x02, 0xFF});
    EXPECT_EQ(controller.Configuration().BaudCode, 0xFF);
    EXPECT_EQ(controller.Receive({0x7E, 0x01, 0x00, 0x04}).Reply, (Bytes {0x7E, 0x01, 0x00, 0x04}));
    EXPECT_EQ(controller.Configuration().Sequences[0], Bytes {});
    EXPECT_FALSE(controller.Configuration().ParityCode.has_value());
    for (std::uint8_t command : {0x00, 0x01, 0x09, 0x10, 0xFF})
        EXPECT_TRUE(controller.Receive({0x7E, 0x01, 0x00, command}).Reply.empty()) << int(command);
}

TEST(Controller, FaultModesChangeOnlyTheAnswers)
{
    TController silent(TFaults {.Silent = true, .Garbage = false, .DropAfter = std::nullopt});
    const auto quiet = silent.Receive({0x7E, 0x03, 0x00, 0x08, 0x00, 0x03});
    EXPECT_TRUE(quiet.Reply.empty());
    EXPECT_TRUE(quiet.DownloadComplete);
    EXPECT_EQ(silent.Configuration().BaudCode, 0x03);

    TController garbage(TFaults {.Silent = false, .Garbage = true, .DropAfter = std::nullopt});
    const auto noise = garbage.Receive({0x7E, 0x01, 0x00, 0x02});
    ASSERT_EQ(noise.Reply.size(), 4u);
    EXPECT_NE(noise.Reply[0], FrameMark);
}

TEST(Configuration, ReadableAndJsonFormsNameWhatCameAndWhatDidNot)
{
    TConfiguration configuration;
    configuration.Sequences[0] = Bytes {0x0A, 0xFF};
    configuration.Sequences[1] = Bytes {};
    configuration.ParityCode = 1;
    configuration.BaudCode = 6;

    const std::string readable = ReadableText(configuration);
    EXPECT_NE(readable.find("0A FF (2 bytes)"), std::string::npos) << readable;
    EXPECT_NE(readable.find("(empty)"), std::string::npos);
    EXPECT_NE(readable.find("not received"), std::string::npos);
    EXPECT_NE(readable.find("01 = 偶 (even)"), std::string::npos);
    EXPECT_NE(readable.find("06 = 115200"), std::string::npos);

    const std::string json = JsonText(configuration, "COM1");
    EXPECT_NE(json.find("\"computer\": null"), std::string::npos) << json;
    EXPECT_NE(json.find("\"parity\": 1,"), std::string::npos);
    EXPECT_NE(json.find("\"baudText\": \"115200\""), std::string::npos);

    EXPECT_EQ(BaudMeaning(0xFF), "no selection");
    EXPECT_EQ(ParityMeaning(3), "unknown");
}
