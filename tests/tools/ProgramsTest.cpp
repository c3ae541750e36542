// The built programs as child processes over ptys: ccdl against ccsim
// (whole downloads, the simulator's fault modes, input errors that send no
// frame, several ports at once, a configuration read back from one
// controller's dump) and ccsim driven from the tool's side of its pty
// (frames in pieces and noise, a delayed answer, the exit codes and the link
// it must take away when it is stopped).

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

#include "ChildProcess.h"
#include "EngineLine.h"
#include "PtyPort.h"

namespace {

using namespace std::chrono_literals;
using Args = std::vector<std::string>;
using testsupport::Process;
using testsupport::ReadFromEngine;
using testsupport::Send;
using namespace std::string_literals;

// The tool's end: an engine on the simulator's port.
std::unique_ptr<OrvekComm32::TComm32> ToolOn(int com)
{
    auto tool = std::make_unique<OrvekComm32::TComm32>();
    tool->UsePortNo(com);
    tool->Open();
    return tool;
}

class Programs : public ::testing::Test {
protected:
    std::string LinkOf(int com) const { return Ports.Path() + "/COM" + std::to_string(com); }
    std::string DumpOf(int com) const { return LinkOf(com) + ".json"; }

    // ccsim on COM<com>, dumping what it receives, once its link is there.
    std::unique_ptr<Process> StartSim(Args args, int com = 1)
    {
        args.insert(args.end(), {"--port", "COM" + std::to_string(com), "--dump", DumpOf(com)});
        auto sim = std::make_unique<Process>(CCSIM_PATH, args);
        EXPECT_TRUE(sim->WaitForOutput("COM" + std::to_string(com) + " is ")) << sim->Output();
        return sim;
    }

    std::unique_ptr<Process> Ccdl(Args args)
    {
        args.insert(args.begin(), "download");
        auto ccdl = std::make_unique<Process>(CCDL_PATH, args);
        Exit = ccdl->WaitExit();
        return ccdl;
    }

    nlohmann::json Dump(int com) const { return nlohmann::json::parse(std::ifstream(DumpOf(com))); }

    testsupport::PortDirectory Ports;
    int Exit = -1;
};

// The controller's answer to the command `code`.
std::string Ack(char code) { return {'\x7E', '\x01', '\x00', code}; }

struct Case {
    Args Sim;
    Args Ccdl;
    int Exit;
    std::string Err;            // in ccdl's standard error
    std::vector<std::string> Log; // in the simulator's log; empty: no frame may come
};

TEST_F(Programs, CcdlDownloadsFaultsAndInputErrors)
{
    const Args quick = {"--timeout", "0.3", "--retries", "1"};
    const std::vector<Case> cases = {
        {{}, {}, 0, "COM1: 6/7 disconnect request sent, waiting for 03\nCOM1: done, 7 frames sent",
         {"<- 7E 08 00 07 01 02 03 04 05 06 07", "<- 7E 03 00 08 02 FF", "link down"}},
        {{}, {"--off", "1FF 0x2", "--parity", "odd", "--baud", "115200", "--line", "14400,none,8,2"}, 0,
         "warning: off sequence: \"1FF\" is above FF and gives FF",
         {"line speed now 14400", "<- 7E 03 00 04 FF 02", "<- 7E 03 00 08 00 06"}},
        {{"--silent"}, quick, 1, "COM1: failed at 0/7 connect request: no answer 02 within 0.3 s after 2 frames",
         {"not answered: silent"}},
        {{"--drop-after", "2"}, quick, 1, "COM1: failed at 2/7 on: no answer 05", {"dropping after 2 frames"}},
        // Each package that is not code 2 asks again at once: no 30 s wait.
        {{"--garbage"}, {"--timeout", "30", "--retries", "1"}, 1,
         "failed at 0/7 connect request: no answer 02 within 30 s after 2 frames; 2 other", {"garbage instead"}},
        {{}, {"--port", "COM200"}, 1, "COM200: failed at 0/7 connect request: Cannot open COM port: ", {}},
        {{}, {"--strict", "--video", "01 1G"}, 2, "video sequence: \"1G\" ends its number at 'G'", {}},
        {{}, {"--frobnicate"}, 2, "--frobnicate", {}},
        {{}, {"--parity", "maybe"}, 2, "--parity: \"maybe\" is none of odd|even|none|unset", {}},
        {{}, {"--config", "/nonexistent/c.json"}, 2, "--config: cannot read /nonexistent/c.json", {}},
    };
    for (const auto& test : cases) {
        const std::string name = test.Sim.empty() ? test.Ccdl.empty() ? "defaults" : test.Ccdl[0] : test.Sim[0];
        auto sim = StartSim(test.Sim);
        auto ccdl = Ccdl(test.Ccdl);
        EXPECT_EQ(Exit, test.Exit) << name << "\n" << ccdl->Err();
        EXPECT_NE(ccdl->Err().find(test.Err), std::string::npos) << name << "\n" << ccdl->Err();
        for (const auto& line : test.Log)
            EXPECT_TRUE(sim->WaitForOutput(line)) << name << "\n" << sim->Output();
        if (test.Log.empty()) {
            EXPECT_FALSE(sim->WaitForOutput("<-", 300ms)) << name << "\n" << sim->Output();
        }
        sim->Signal(SIGTERM);
        EXPECT_EQ(sim->WaitExit(), 0);
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(LinkOf(1)))) << name;
    }
}

// A controller whose line goes away mid-download (its pty closed, as a USB
// adapter pulled out hangs up its tty) fails its port at once, saying so,
// while the other port, named by its device path, goes on to the end.
TEST_F(Programs, CcdlALostPortFailsAtOnceAndTheOthersGoOn)
{
    auto lost = StartSim({"--delay", "500"}, 1);
    auto kept = StartSim({"--delay", "500"}, 2);
    const std::string device = std::filesystem::read_symlink(LinkOf(2));
    Process ccdl(CCDL_PATH, {"download", "--port", "COM1", "--port", device, "--timeout", "10"});
    ASSERT_TRUE(ccdl.WaitForOutput("COM1: 1/7 off sent")) << ccdl.Err();
    const auto removed = std::chrono::steady_clock::now();
    lost->Signal(SIGKILL);
    ASSERT_TRUE(ccdl.WaitForOutput("COM1: failed at 1/7 off: the device went away: COM port disconnected: /dev/pts/"))
        << ccdl.Err();
    std::printf("lost port reported after %lld ms\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now() - removed).count()));
    // Well within the 10 s a silent line would have been given.
    EXPECT_LT(std::chrono::steady_clock::now() - removed, 5s);
    EXPECT_EQ(ccdl.WaitExit(), 1);
    EXPECT_NE(ccdl.Err().find(device + ": done, 7 frames sent"), std::string::npos) << ccdl.Err();
}

// A configuration read back from one controller's dump goes to two ports at
// once, each with its own summary; the port list shows the simulators.
TEST_F(Programs, CcdlADumpReadBackGoesToSeveralPortsAsItWas)
{
    std::vector<std::unique_ptr<Process>> sims;
    for (int com = 1; com <= 3; ++com)
        sims.push_back(StartSim({}, com));
    Ccdl({"--port", "COM1", "--off", "0a 0B", "--video", "", "--parity", "even", "--baud", "9600"});
    ASSERT_EQ(Exit, 0);
    auto original = Dump(1);
    EXPECT_EQ(original["off"], "0A 0B");
    EXPECT_EQ(original["baud"], 1);
    original.erase("port");

    auto ccdl = Ccdl({"--port", "COM3", "--port", "COM2", "--config", DumpOf(1), "--json"});
    EXPECT_EQ(Exit, 0) << ccdl->Err();
    std::istringstream lines(ccdl->Out());
    std::string ports;
    for (std::string line; std::getline(lines, line);) {
        const auto json = nlohmann::json::parse(line);
        EXPECT_EQ(json["result"], "done") << line;
        EXPECT_EQ(json["framesSent"], 7) << line;
        ports += json["port"].get<std::string>() + " ";
    }
    EXPECT_EQ(ports, "COM3 COM2 ");
    for (int com = 2; com <= 3; ++com) {
        auto copy = Dump(com);
        copy.erase("port");
        EXPECT_EQ(copy, original) << com;
    }

    Process list(CCDL_PATH, {"ports", "--json"}), version(CCDL_PATH, {"download", "--version"});
    EXPECT_EQ(list.WaitExit() + version.WaitExit(), 0);
    EXPECT_NE(list.Out().find("{\"port\":\"COM3\",\"device\":\"/dev/pts/"), std::string::npos) << list.Out();
    EXPECT_EQ(version.Out().rfind("ccdl ", 0), 0u) << version.Out();
}

} // namespace

TEST_F(Programs, CcsimAFrameInPiecesIsOneFrameAndNoiseIsNotAnswered)
{
    auto sim = StartSim({});
    const auto tool = ToolOn(1);
    Send(*tool, "\x55\xAA");
    Send(*tool, "\x7E\x01");
    Send(*tool, "\x00\x02"s);
    EXPECT_EQ(ReadFromEngine(*tool, 4), Ack(2));
    EXPECT_TRUE(ReadFromEngine(*tool, 1, 300ms).empty());

    // A frame cut short is given up when the line goes quiet, and the
    // next whole frame is answered as usual.
    Send(*tool, "\x7E\x05\x00\x04\x01"s);
    EXPECT_TRUE(sim->WaitForOutput("incomplete frame, dropped")) << sim->Output();
    Send(*tool, Ack(3));
    EXPECT_EQ(ReadFromEngine(*tool, 4), Ack(3));
}

// The other fault modes are tried by ccdl's tests.
TEST_F(Programs, CcsimADelayedAnswerStillComesAndAStopDuringTheDelayIsNotHeldUp)
{
    auto sim = StartSim({"--delay", "300"}, 5);
    const auto tool = ToolOn(5);
    Send(*tool, Ack(2));
    EXPECT_EQ(ReadFromEngine(*tool, 4), Ack(2));
    sim = StartSim({"--delay", "60000"}, 6);
    const auto slow = ToolOn(6);
    Send(*slow, Ack(2));
    ASSERT_TRUE(sim->WaitForOutput("in 60000 ms"));
    EXPECT_TRUE(ReadFromEngine(*slow, 1, 300ms).empty());
    sim->Signal(SIGTERM);
    EXPECT_EQ(sim->WaitExit(10s), 0);
}

// Runs beside a simulator on COM1 that must keep its link: a second one on
// the taken port, bad options, the usage; an interrupt then takes it away.
TEST_F(Programs, CcsimExitCodesWithTheReasonAndTheLinksItLeaves)
{
    auto first = StartSim({});
    const auto target = std::filesystem::read_symlink(LinkOf(1));
    struct Case { Args args; int exit; const char* text; };
    for (const Case& c : {Case{{"--port", "COM1"}, 1, "already exists"},
                          Case{{"--delay", "soon"}, 2, "--delay: Value soon"},
                          Case{{"--help"}, 0, "--drop-after N"}}) {
        Process sim(CCSIM_PATH, c.args);
        EXPECT_EQ(sim.WaitExit(), c.exit) << c.args[0];
        EXPECT_NE(sim.Output().find(c.text), std::string::npos) << sim.Output();
        EXPECT_EQ(std::filesystem::read_symlink(LinkOf(1)), target) << c.args[0];
    }

    // A killed simulator leaves a link to a pty that is gone.
    std::filesystem::create_symlink("/dev/pts/does-not-exist", LinkOf(9));
    auto third = StartSim({}, 9);
    EXPECT_NE(std::filesystem::read_symlink(LinkOf(9)), "/dev/pts/does-not-exist");
    first->Signal(SIGINT);
    EXPECT_EQ(first->WaitExit(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(LinkOf(1))));
}
