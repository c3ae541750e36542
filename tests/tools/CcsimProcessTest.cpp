// The built ccsim program, driven from the tool's side of its pty: frames in
// pieces and noise, a delayed answer, the exit codes and the link it must
// take away when it is stopped.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <termios.h>

#include "Process.h"
#include "PtyPort.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace toolstest;

std::unique_ptr<Process> Sim(std::vector<std::string> args)
{
    return std::make_unique<Process>(CCSIM_PATH, args);
}

// The tool's end: the COM link opened as a raw serial line.
class ToolSide {
public:
    explicit ToolSide(const std::string& link)
    {
        Fd = open(link.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (Fd < 0)
            throw std::runtime_error("cannot open " + link + ": " + std::strerror(errno));
        termios settings {};
        tcgetattr(Fd, &settings);
        cfmakeraw(&settings);
        tcsetattr(Fd, TCSANOW, &settings);
    }
    ~ToolSide() { close(Fd); }

    void Write(const Bytes& bytes) { ASSERT_EQ(write(Fd, bytes.data(), bytes.size()), ssize_t(bytes.size())); }

    // Reads until `count` bytes came or `timeout` passed.
    Bytes Read(std::size_t count, std::chrono::milliseconds timeout = 5s)
    {
        Bytes bytes;
        const auto deadline = Clock::now() + timeout;
        while (bytes.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd fd {Fd, POLLIN, 0};
            if (left <= 0ms || poll(&fd, 1, static_cast<int>(left.count())) <= 0)
                break;
            std::uint8_t buffer[256];
            const ssize_t got = read(Fd, buffer, std::min(sizeof buffer, count - bytes.size()));
            if (got <= 0)
                break;
            bytes.insert(bytes.end(), buffer, buffer + got);
        }
        return bytes;
    }

    // Whatever arrives within `window`; empty when the line stayed quiet.
    Bytes ReadAny(std::chrono::milliseconds window) { return Read(1 << 16, window); }

    int Fd = -1;
};

class CcsimProgram : public ::testing::Test {
protected:
    std::string LinkOf(int com) const { return Ports.Path() + "/COM" + std::to_string(com); }

    // Starts ccsim with `args` and waits until it has registered its link.
    std::unique_ptr<Process> Start(std::vector<std::string> args, int com = 1)
    {
        args.insert(args.begin(), {"--port", "COM" + std::to_string(com)});
        auto sim = Sim(args);
        EXPECT_TRUE(sim->WaitForOutput("COM" + std::to_string(com) + " is ")) << sim->Output();
        return sim;
    }

    testsupport::PortDirectory Ports;
};

Bytes Ack(std::uint8_t code)
{
    return {0x7E, 0x01, 0x00, code};
}

} // namespace

TEST_F(CcsimProgram, AFrameInPiecesIsOneFrameAndNoiseIsNotAnswered)
{
    auto sim = Start({});
    ToolSide tool(LinkOf(1));
    tool.Write({0x55, 0xAA});
    tool.Write({0x7E, 0x01});
    tool.Write({0x00, 0x02});
    EXPECT_EQ(tool.Read(4), Ack(2));
    EXPECT_TRUE(tool.ReadAny(300ms).empty());
    EXPECT_TRUE(sim->WaitForOutput("55 AA  not a frame")) << sim->Output();

    // A frame cut short is given up when the line goes quiet, and the
    // next whole frame is answered as usual.
    tool.Write({0x7E, 0x05, 0x00, 0x04, 0x01});
    EXPECT_TRUE(sim->WaitForOutput("incomplete frame, dropped")) << sim->Output();
    tool.Write({0x7E, 0x01, 0x00, 0x03});
    EXPECT_EQ(tool.Read(4), Ack(3));
}

// The other fault modes are tried by ccdl's tests.
TEST_F(CcsimProgram, ADelayedAnswerStillComesAndAStopDuringTheDelayIsNotHeldUp)
{
    auto sim = Start({"--delay", "300"}, 5);
    ToolSide tool(LinkOf(5));
    const auto sent = Clock::now();
    tool.Write(Ack(2));
    EXPECT_EQ(tool.Read(4), Ack(2));
    EXPECT_GE(Clock::now() - sent, 250ms);
    sim = Start({"--delay", "60000"}, 6);
    ToolSide slow(LinkOf(6));
    slow.Write(Ack(2));
    ASSERT_TRUE(sim->WaitForOutput("in 60000 ms"));
    sim->Signal(SIGTERM);
    EXPECT_EQ(sim->WaitExit(10s), 0);
}

TEST_F(CcsimProgram, StopSignalsRemoveTheLinkAndExitZero)
{
    for (int signal : {SIGTERM, SIGINT}) {
        auto sim = Start({});
        ASSERT_TRUE(std::filesystem::is_symlink(LinkOf(1)));
        sim->Signal(signal);
        EXPECT_EQ(sim->WaitExit(), 0) << sim->Output();
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(LinkOf(1)))) << "signal " << signal;
        EXPECT_NE(sim->Output().find("removed"), std::string::npos);
    }
}

TEST_F(CcsimProgram, RefusesATakenPortAndReplacesAStaleLink)
{
    auto first = Start({});
    auto second = Sim({"--port", "COM1"});
    EXPECT_EQ(second->WaitExit(), 1);
    EXPECT_NE(second->Output().find("already exists"), std::string::npos) << second->Output();
    EXPECT_TRUE(std::filesystem::is_symlink(LinkOf(1))) << "the refused simulator took the first one's link";

    // A killed simulator leaves a link to a pty that is gone.
    std::filesystem::create_symlink("/dev/pts/does-not-exist", LinkOf(9));
    auto third = Start({}, 9);
    EXPECT_NE(std::filesystem::read_symlink(LinkOf(9)), "/dev/pts/does-not-exist");
}

TEST_F(CcsimProgram, BadOptionsExitTwoWithTheReasonAndUsage)
{
    auto sim = Sim({"--delay", "soon"});
    EXPECT_EQ(sim->WaitExit(), 2);
    EXPECT_NE(sim->Output().find("--delay: Value soon"), std::string::npos) << sim->Output();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(LinkOf(1))));

    auto help = Sim({"--help"});
    EXPECT_EQ(help->WaitExit(), 0);
    EXPECT_NE(help->Output().find("--drop-after N"), std::string::npos);
}
