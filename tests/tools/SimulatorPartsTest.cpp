// The simulator's pieces in process: its command line, the frame cutting,
// the controller's answers and fault modes, and the configuration forms.

#include <gtest/gtest.h>

#include "Configuration.h"
#include "Controller.h"
#include "FrameReader.h"
#include "FrameText.h"
#include "Options.h"

using namespace ccsim;

namespace {

// The items the reader gives for `bytes`, one line each: kind and bytes.
std::string Feed(TFrameReader& reader, const Bytes& bytes)
{
    std::vector<TStreamItem> items;
    reader.Feed(bytes, items);
    std::string text;
    for (const auto& item : items)
        text += (item.Kind == TStreamItem::Frame ? "frame " : "garbage ") + FrameText(item.Data) + "\n";
    return text;
}

} // namespace

TEST(SimOptions, ValuesInBothSpellingsAndBadCommandLinesWithTheReason)
{
    const auto given = ParseOptions({"--port", "\\\\.\\COM12", "--baud=9600", "--drop-after=0", "--delay", "250"});
    ASSERT_EQ(given.Error, "");
    EXPECT_EQ(given.Options.ComNumber, 12);
    EXPECT_EQ(given.Options.Baud, 9600);
    EXPECT_EQ(given.Options.DropAfter, 0);

    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--port", "COM0"}, "--port: wants"},
        {{"--baud", "12"}, "--baud: \"12\" is not"},
        {{"--dump="}, "--dump"},
        {{"--silent", "--garbage"}, "excludes"},
    };
    for (const auto& [args, reason] : cases) {
        const auto result = ParseOptions(args);
        EXPECT_NE(result.Error.find(reason), std::string::npos) << args[0] << " gave \"" << result.Error << "\"";
    }
}

TEST(FrameReader, CutsFramesByTheirLengthAcrossChunksAndImpossibleLengthsAreGarbage)
{
    TFrameReader reader;
    EXPECT_EQ(Feed(reader, {0x7E, 0x05}), "");
    EXPECT_EQ(Feed(reader, {0x00, 0x04, 1, 2, 3, 4, 0x7E, 0x01, 0x00, 0x02, 0x7E}),
              "frame 7E 05 00 04 01 02 03 04\nframe 7E 01 00 02\n");
    EXPECT_EQ(reader.DropPartial(), (Bytes {0x7E}));
    EXPECT_FALSE(reader.HasPartial());

    Bytes largest = {0x7E, 0x01, 0x02, 0x04};
    largest.resize(516, 0xAA);
    EXPECT_EQ(Feed(reader, largest), "frame " + FrameText(largest) + "\n");

    // Length 0 and 514 cannot come from the tool: their marks are noise
    // and the scan resynchronises on the next mark.
    EXPECT_EQ(Feed(reader, {0x11, 0x7E, 0x00, 0x00, 0x7E, 0x02, 0x02, 0x7E, 0x01, 0x00, 0x03}),
              "garbage 11 7E 00 00 7E 02 02\nframe 7E 01 00 03\n");
    EXPECT_FALSE(reader.HasPartial());
}

// ccdl's tests run whole downloads against the simulator.
TEST(Controller, ANewDownloadForgetsTheLastUnknownCommandsAreNotAnsweredFaultsChangeOnlyAnswers)
{
    TController controller;
    controller.Receive({0x7E, 0x03, 0x00, 0x08, 0x02, 0xFF});
    EXPECT_EQ(controller.Receive({0x7E, 0x01, 0x00, 0x04}).Reply, (Bytes {0x7E, 0x01, 0x00, 0x04}));
    EXPECT_EQ(controller.Configuration().Sequences[0], Bytes {});
    EXPECT_FALSE(controller.Configuration().ParityCode.has_value());
    for (std::uint8_t command : {0x00, 0x01, 0x09, 0x10, 0xFF})
        EXPECT_TRUE(controller.Receive({0x7E, 0x01, 0x00, command}).Reply.empty()) << int(command);

    // Fault modes change only the answers.
    TController silent(TFaults {.Silent = true, .Garbage = false, .DropAfter = std::nullopt});
    EXPECT_TRUE(silent.Receive({0x7E, 0x03, 0x00, 0x08, 0x00, 0x03}).DownloadComplete);
    EXPECT_EQ(silent.Configuration().BaudCode, 0x03);
}

TEST(Configuration, ReadableAndJsonFormsNameWhatCameAndWhatDidNot)
{
    TConfiguration configuration;
    configuration.Sequences[0] = Bytes {0x0A, 0xFF};
    configuration.Sequences[1] = Bytes {};
    configuration.ParityCode = 1;
    configuration.BaudCode = 6;

    const std::string readable = ReadableText(configuration), json = JsonText(configuration, "COM1");
    for (const auto& [text, part] : {std::pair{readable, "0A FF (2 bytes)"}, {readable, "(empty)"},
                                     {readable, "not received"}, {readable, "01 = 偶 (even)"},
                                     {readable, "06 = 115200"}, {json, "\"computer\": null"},
                                     {json, "\"parity\": 1,"}, {json, "\"baudText\": \"115200\""}})
        EXPECT_NE(text.find(part), std::string::npos) << part << " in\n" << text;
    EXPECT_EQ(BaudMeaning(0xFF), "no selection");
    EXPECT_EQ(ParityMeaning(3), "unknown");
}
