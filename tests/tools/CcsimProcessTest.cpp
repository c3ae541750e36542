// The built ccsim program, driven from the tool's side of its pty: the
// answers on the line, the fault modes, the dump, the exit codes and the
// link it must take away when it is stopped.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "DefaultDownload.h"
#include "PtyPort.h"

extern char** environ;

namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// ccsim as a child process with its stdout and stderr on one pipe.
class SimProcess {
public:
    explicit SimProcess(std::vector<std::string> args)
    {
        int pipeFds[2];
        if (pipe2(pipeFds, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        Out = pipeFds[0];
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
        args.insert(args.begin(), CCSIM_PATH);
        std::vector<char*> argv;
        for (auto& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        const int error = posix_spawn(&Pid, CCSIM_PATH, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(pipeFds[1]);
        if (error != 0)
            throw std::runtime_error("cannot start " CCSIM_PATH);
    }
    ~SimProcess()
    {
        if (Pid > 0) {
            kill(Pid, SIGKILL);
            waitpid(Pid, nullptr, 0);
        }
        close(Out);
    }

    // Reads the log until it holds `text` or `timeout` passed.
    bool WaitForOutput(const std::string& text, std::chrono::milliseconds timeout = 10s)
    {
        const auto deadline = Clock::now() + timeout;
        while (Log.find(text) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left <= 0ms || !_ReadSome(static_cast<int>(left.count())))
                return false;
        }
        return true;
    }

    void Signal(int signal) { kill(Pid, signal); }

    // The exit status; -1 when it did not exit normally within `timeout`.
    int WaitExit(std::chrono::milliseconds timeout = 10s)
    {
        const auto deadline = Clock::now() + timeout;
        int status = 0;
        while (waitpid(Pid, &status, WNOHANG) == 0) {
            if (Clock::now() >= deadline)
                return -1;
            // Drain the log meanwhile so the child never blocks on a full pipe.
            _ReadSome(50);
        }
        Pid = -1;
        while (_ReadSome(0)) {
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    const std::string& Output() const { return Log; }

private:
    bool _ReadSome(int timeoutMs)
    {
        pollfd fd {Out, POLLIN, 0};
        if (poll(&fd, 1, timeoutMs) <= 0)
            return false;
        char buffer[4096];
        const ssize_t count = read(Out, buffer, sizeof buffer);
        if (count <= 0)
            return false;
        Log.append(buffer, static_cast<std::size_t>(count));
        return true;
    }

    pid_t Pid = -1;
    int Out = -1;
    std::string Log;
};

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
    std::unique_ptr<SimProcess> Start(std::vector<std::string> args, int com = 1)
    {
        args.insert(args.begin(), {"--port", "COM" + std::to_string(com)});
        auto sim = std::make_unique<SimProcess>(args);
        EXPECT_TRUE(sim->WaitForOutput("COM" + std::to_string(com) + " is ")) << sim->Output();
        return sim;
    }

    testsupport::PortDirectory Ports;
};

using ccsimtest::DefaultDownload;

Bytes Ack(std::uint8_t code)
{
    return {0x7E, 0x01, 0x00, code};
}

} // namespace

TEST_F(CcsimProgram, AnswersAWholeDownloadPrintsItAndDumpsItAsJson)
{
    const std::string dump = Ports.Path() + "/configuration.json";
    auto sim = Start({"--dump", dump});
    ToolSide tool(LinkOf(1));
    for (const auto& [frame, code] : DefaultDownload) {
        tool.Write(frame);
        EXPECT_EQ(tool.Read(4), Ack(code)) << "answer to command " << int(frame[3]);
    }
    ASSERT_TRUE(sim->WaitForOutput("link down")) << sim->Output();
    EXPECT_NE(sim->Output().find("<- 7E 03 00 08 02 FF"), std::string::npos) << sim->Output();
    EXPECT_NE(sim->Output().find("电脑 (computer): 01 02 03 04 06 08 (6 bytes)"), std::string::npos);
    EXPECT_NE(sim->Output().find("baud:   FF = no selection"), std::string::npos);

    std::ifstream file(dump);
    const std::string json((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_NE(json.find("\"video\": \"01 02 03 04 05 06 07\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"parity\": 2,"), std::string::npos);
    EXPECT_NE(json.find("\"baud\": 255,"), std::string::npos);
}

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

TEST_F(CcsimProgram, FaultModes)
{
    {
        auto sim = Start({"--silent"}, 2);
        ToolSide tool(LinkOf(2));
        tool.Write(Ack(2));
        EXPECT_TRUE(sim->WaitForOutput("not answered: silent")) << sim->Output();
        EXPECT_TRUE(tool.ReadAny(300ms).empty());
    }
    {
        auto sim = Start({"--garbage"}, 3);
        ToolSide tool(LinkOf(3));
        tool.Write(Ack(2));
        const Bytes noise = tool.Read(4);
        ASSERT_EQ(noise.size(), 4u);
        EXPECT_NE(noise[0], 0x7E);
    }
    {
        auto sim = Start({"--drop-after", "2"}, 4);
        ToolSide tool(LinkOf(4));
        tool.Write(Ack(2));
        EXPECT_EQ(tool.Read(4), Ack(2));
        tool.Write({0x7E, 0x01, 0x00, 0x04});
        EXPECT_EQ(tool.Read(4), Ack(4));
        tool.Write({0x7E, 0x01, 0x00, 0x05});
        EXPECT_TRUE(sim->WaitForOutput("dropping after 2 frames")) << sim->Output();
        EXPECT_TRUE(tool.ReadAny(300ms).empty());
    }
    {
        // The delayed answer still comes, and a stop during the delay is
        // not held up by it.
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
    SimProcess second({"--port", "COM1"});
    EXPECT_EQ(second.WaitExit(), 1);
    EXPECT_NE(second.Output().find("already exists"), std::string::npos) << second.Output();
    EXPECT_TRUE(std::filesystem::is_symlink(LinkOf(1))) << "the refused simulator took the first one's link";

    // A killed simulator leaves a link to a pty that is gone.
    std::filesystem::create_symlink("/dev/pts/does-not-exist", LinkOf(9));
    auto third = Start({}, 9);
    EXPECT_NE(std::filesystem::read_symlink(LinkOf(9)), "/dev/pts/does-not-exist");
}

TEST_F(CcsimProgram, BadOptionsExitTwoWithTheReasonAndUsage)
{
    SimProcess sim({"--delay", "soon"});
    EXPECT_EQ(sim.WaitExit(), 2);
    EXPECT_NE(sim.Output().find("--delay: Value soon"), std::string::npos) << sim.Output();
    EXPECT_NE(sim.Output().find("--help"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(LinkOf(1))));

    SimProcess help({"--help"});
    EXPECT_EQ(help.WaitExit(), 0);
    EXPECT_NE(help.Output().find("--drop-after N"), std::string::npos);
}
