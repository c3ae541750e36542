// The built ccdl program against ccsim over ptys: whole downloads, the
// simulator's fault modes, input errors (which send no frame), several
// ports at once and a configuration read back from one controller's dump.

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "Process.h"
#include "PtyPort.h"

namespace {

using namespace toolstest;
using Args = std::vector<std::string>;

class CcdlProgram : public ::testing::Test {
protected:
    std::string DumpOf(int com) const { return Ports.Path() + "/COM" + std::to_string(com) + ".json"; }

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

struct Case {
    Args Sim;
    Args Ccdl;
    int Exit;
    std::string Err;            // in ccdl's standard error
    std::vector<std::string> Log; // in the simulator's log; empty: no frame may come
};

TEST_F(CcdlProgram, DownloadsFaultsAndInputErrors)
{
    const Args quick = {"--timeout", "0.3", "--retries", "1"};
    const std::vector<Case> cases = {
        {{}, {}, 0, "COM1: 6/7 disconnect request sent, waiting for 03\nCOM1: done, 7 frames sent",
         {"<- 7E 08 00 07 01 02 03 04 05 06 07", "<- 7E 03 00 08 02 FF", "link down"}},
        {{}, {"--off", "1FF 0x2", "--parity", "odd", "--baud", "115200", "--line", "9600,none,8,2"}, 0,
         "warning: off sequence: \"1FF\" is above FF and gives FF", {"<- 7E 03 00 04 FF 02", "<- 7E 03 00 08 00 06"}},
        {{"--silent"}, quick, 1, "COM1: failed at 0/7 connect request: no answer 02 within 0.3 s after 2 frames",
         {"not answered: silent"}},
        {{"--drop-after", "2"}, quick, 1, "COM1: failed at 2/7 on: no answer 05", {"dropping after 2 frames"}},
        // Each package that is not code 2 asks again at once: no 30 s wait.
        {{"--garbage"}, {"--timeout", "30", "--retries", "1"}, 1,
         "failed at 0/7 connect request: no answer 02 within 30 s after 2 frames; 2 other", {"garbage instead"}},
        {{}, {"--port", "COM200"}, 1, "COM200: failed at 0/7 connect request: cannot open the port", {}},
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
        sim->Signal(SIGTERM); // takes its link away for the next case
        EXPECT_EQ(sim->WaitExit(), 0);
    }
}

TEST_F(CcdlProgram, ThreePortsAtOnceEachWithItsOwnSummary)
{
    std::vector<std::unique_ptr<Process>> sims;
    for (int com = 1; com <= 3; ++com)
        sims.push_back(StartSim({}, com));
    auto ccdl = Ccdl({"--port", "COM1", "--port", "COM3", "--port", "COM2", "--json"});
    EXPECT_EQ(Exit, 0) << ccdl->Err();
    std::istringstream lines(ccdl->Out());
    std::string ports;
    for (std::string line; std::getline(lines, line);) {
        const auto json = nlohmann::json::parse(line);
        EXPECT_EQ(json["result"], "done") << line;
        EXPECT_EQ(json["framesSent"], 7) << line;
        ports += json["port"].get<std::string>() + " ";
    }
    EXPECT_EQ(ports, "COM1 COM3 COM2 ");
    for (int com = 1; com <= 3; ++com)
        EXPECT_EQ(Dump(com)["video"], "01 02 03 04 05 06 07") << com;
}

TEST_F(CcdlProgram, ADumpReadBackIsDownloadedAsItWas)
{
    auto first = StartSim({}, 1);
    Ccdl({"--port", "COM1", "--off", "0a 0B", "--video", "", "--parity", "even", "--baud", "9600"});
    ASSERT_EQ(Exit, 0);
    auto second = StartSim({}, 2);
    Ccdl({"--port", "COM2", "--config", DumpOf(1)});
    ASSERT_EQ(Exit, 0);
    auto copy = Dump(2), original = Dump(1);
    EXPECT_EQ(original["off"], "0A 0B");
    EXPECT_EQ(original["baud"], 1);
    copy.erase("port");
    original.erase("port");
    EXPECT_EQ(copy, original);
}

TEST_F(CcdlProgram, PortsListsTheSimulatorsPortAndEachCommandTellsItsVersion)
{
    auto sim = StartSim({}, 7);
    Process ports(CCDL_PATH, {"ports", "--json"}), version(CCDL_PATH, {"download", "--version"});
    EXPECT_EQ(ports.WaitExit() + version.WaitExit(), 0);
    EXPECT_NE(ports.Out().find("{\"port\":\"COM7\",\"device\":\"/dev/pts/"), std::string::npos) << ports.Out();
    EXPECT_EQ(version.Out().rfind("ccdl ", 0), 0u) << version.Out();
}

} // namespace
