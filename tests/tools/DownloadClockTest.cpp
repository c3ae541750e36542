// ccdl's answer time-outs on a clock the test moves: a controller that
// never answers gets the step's frame again exactly one time-out after it
// left, and the download fails exactly one time-out after the last retry.
#include <gtest/gtest.h>

#include <future>
#include <mutex>

#include "PortDownload.h"
#include "PtyPort.h"
#include "TestClock.h"

using namespace std::chrono_literals;

TEST(DownloadClock, AnUnansweredStepIsSentAgainAndFailsAtItsTimeOutsExactly)
{
    testsupport::PortDirectory ports;
    testsupport::PtyPort silent {7};
    testsupport::TTestClock clock;
    ccdl::TDownloadSettings settings;
    settings.Sequences = ccdl::DefaultSequences;
    settings.Retries = 1;
    std::mutex lock;
    std::vector<std::string> lines;
    const std::function<void(const std::string&)> log = [&](const std::string& line) {
        std::lock_guard guard(lock);
        lines.push_back(line);
    };
    const auto logged = [&] {
        std::lock_guard guard(lock);
        return lines;
    };
    auto download = std::async(std::launch::async, [&] { return ccdl::RunDownload("COM7", settings, log, clock); });

    ASSERT_TRUE(clock.AwaitSleeper()); // for the answer to the connect request
    clock.Advance(1999ms);
    ASSERT_TRUE(clock.AwaitSleeper());
    EXPECT_EQ(logged().size(), 1u);
    clock.Advance(1ms);
    ASSERT_TRUE(clock.AwaitSleeper());
    EXPECT_EQ(logged().back(), "COM7: 0/7 connect request sent again (no answer within 2 s), waiting for 02");
    clock.Advance(1999ms);
    ASSERT_TRUE(clock.AwaitSleeper());
    EXPECT_EQ(logged().size(), 2u);
    clock.Advance(1ms);
    const ccdl::TPortResult result = download.get();
    EXPECT_EQ(result.Message.rfind("failed at 0/7 connect request: no answer 02 within 2 s after 2 frames in ", 0), 0u)
        << result.Message;
    EXPECT_EQ(silent.ReadExactly(8, 1s).size(), 8u);
}
