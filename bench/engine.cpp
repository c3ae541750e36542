// Engine throughput on one pseudo-terminal, both ways, beside a plain
// 256-byte write/read loop on the same pty, and the CPU an idle open
// engine costs.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>

#include "ProcessResources.h"
#include "EngineTransfer.h"
#include "PtyTransfer.h"
#include "PtyPort.h"
#include "TComm32.h"

using namespace OrvekComm32;
using namespace bench;

namespace {

constexpr std::size_t RawChunk = 256;

// The plain loop: write 256 bytes on one end, read them on the other,
// repeat, on one thread.
double RawLoop(int from, int to)
{
    const std::string block(RawChunk, 'r');
    char buffer[RawChunk];
    const auto start = Clock::now();
    for (std::size_t sent = 0; sent < TotalBytes; sent += RawChunk) {
        if (::write(from, block.data(), RawChunk) != static_cast<ssize_t>(RawChunk))
            return 0;
        std::size_t got = 0;
        while (got < RawChunk) {
            pollfd p{to, POLLIN, 0};
            if (poll(&p, 1, 5000) <= 0)
                return 0;
            const ssize_t n = ::read(to, buffer, RawChunk - got);
            if (n > 0)
                got += static_cast<std::size_t>(n);
        }
    }
    return TotalBytes / Seconds(Clock::now() - start);
}

} // namespace

int main()
{
    testsupport::PortDirectory ports;
    testsupport::PtyPort pty(3);
    TComm32 engine;
    const auto [out, in] = MeasureEngine(engine, 3, pty.MasterFd());

    // The raw loop on the same pty, with the engine closed.
    const int slave = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    const double rawOut = RawLoop(slave, pty.MasterFd());
    const double rawIn = RawLoop(pty.MasterFd(), slave);
    ::close(slave);

    Print("engine_write_throughput", out / 1e6, "MB/s", "info");
    Print("engine_read_throughput", in / 1e6, "MB/s", "info");
    Print("raw_write_throughput", rawOut / 1e6, "MB/s", "info");
    Print("raw_read_throughput", rawIn / 1e6, "MB/s", "info");
    Print("engine_write_vs_raw", out / rawOut, "x", "goal >= 0.5");
    Print("engine_read_vs_raw", in / rawIn, "x", "goal >= 0.5");

    engine.Open();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const double cpuBefore = soak::ProcessCpuMilliseconds();
    const auto idleStart = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(5));
    const double cpu = soak::ProcessCpuMilliseconds() - cpuBefore;
    const double wall = Seconds(Clock::now() - idleStart) * 1000;
    Print("engine_idle_cpu", 100.0 * cpu / wall, "% of a core", "goal < 0.1");
    engine.Close();
    return 0;
}
