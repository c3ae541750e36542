// The engine against the fastest simple program for each job and against
// Qt's serial port class, on the same pseudo-terminal, in the same run,
// round by round: sending and receiving in 256- and 4096-byte writes,
// 4-byte round trips, process CPU per MiB sent, and the CPU an idle open
// engine costs. Each ratio is printed per round with its goal.
//
// The raw contenders stream: a writer that keeps the pty full with
// non-blocking writes and poll, a reader that reads whatever is there. The
// peer on the master end (drain, feed, echo) is the same for everyone.
#include <QCoreApplication>
#include <QSerialPort>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "PtyPort.h"
#include "PtyTransfer.h"
#include "TComm32.h"

using namespace bench;
using OrvekComm32::TComm32;

namespace {

constexpr int Rounds = 3;
constexpr int RoundTrips = 2000;
constexpr std::size_t ReceiveWindow = 64 * 1024;  // bytes in flight towards a receiver

std::size_t Total()
{
    const char* mib = std::getenv("BENCH_MIB");
    return static_cast<std::size_t>(mib ? std::max(1, std::atoi(mib)) : 16) << 20;
}

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct TFigures {
    double Rate = 0;        // bytes or round trips per second
    double CpuPerMiB = 0;   // process CPU seconds per MiB moved
};

// Times `send` while the master end drains `total` bytes.
TFigures Sending(int master, std::size_t total, const std::function<void()>& send)
{
    const double cpu = CpuSeconds();
    const auto start = Clock::now();
    std::thread drain(Drain, master, total);
    send();
    drain.join();
    const double seconds = Seconds(Clock::now() - start);
    return {total / seconds, (CpuSeconds() - cpu) / (total / double(1 << 20))};
}

// Times `receive` (which returns the bytes it took so far) while the
// master end feeds `total` bytes in `block`s, at most ReceiveWindow ahead.
TFigures Receiving(int master, std::size_t total, std::size_t block,
                   const std::function<std::size_t()>& receive)
{
    std::atomic<std::size_t> got{0};
    const double cpu = CpuSeconds();
    const auto start = Clock::now();
    std::thread feed([&] {
        const std::string bytes(block, 'f');
        std::size_t sent = 0;
        while (sent < total) {
            if (sent + block - got.load(std::memory_order_acquire) > ReceiveWindow) {
                std::this_thread::yield();
                continue;
            }
            const ssize_t n = ::write(master, bytes.data(), std::min(block, total - sent));
            if (n > 0) {
                sent += static_cast<std::size_t>(n);
            } else {
                pollfd p{master, POLLOUT, 0};
                poll(&p, 1, 100);
            }
        }
    });
    while (got.load() < total) {
        const std::size_t n = receive();
        if (n == SIZE_MAX)
            break;
        got.fetch_add(n, std::memory_order_release);
    }
    feed.join();
    const double seconds = Seconds(Clock::now() - start);
    return {total / seconds, (CpuSeconds() - cpu) / (total / double(1 << 20))};
}

// The master end echoes every byte back until `stop`.
struct TEcho {
    std::atomic<bool> Stop{false};
    std::thread Worker;
    explicit TEcho(int master)
        : Worker([this, master] {
              char buffer[256];
              while (!Stop.load()) {
                  pollfd p{master, POLLIN, 0};
                  if (poll(&p, 1, 50) <= 0)
                      continue;
                  const ssize_t n = ::read(master, buffer, sizeof buffer);
                  if (n > 0 && ::write(master, buffer, static_cast<std::size_t>(n)) != n)
                      return;
              }
          })
    {
    }
    ~TEcho()
    {
        Stop = true;
        Worker.join();
    }
};

struct TLatency {
    double Median = 0, P99 = 0, Rate = 0;  // microseconds, microseconds, per second
};

TLatency RoundTripsOf(int master, const std::function<bool()>& roundTrip)
{
    TEcho echo(master);
    std::vector<double> times;
    times.reserve(RoundTrips);
    const auto start = Clock::now();
    for (int i = 0; i < RoundTrips; ++i) {
        const auto begin = Clock::now();
        if (!roundTrip())
            return {};
        times.push_back(Seconds(Clock::now() - begin) * 1e6);
    }
    const double seconds = Seconds(Clock::now() - start);
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times[times.size() * 99 / 100], RoundTrips / seconds};
}

// ---- raw termios on the slave end --------------------------------------

int OpenRaw(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios settings{};
    tcgetattr(fd, &settings);
    cfmakeraw(&settings);
    cfsetspeed(&settings, B115200);
    tcsetattr(fd, TCSANOW, &settings);
    return fd;
}

void RawSend(int fd, std::size_t total, std::size_t block)
{
    const std::string bytes(block, 'r');
    std::size_t sent = 0;
    while (sent < total) {
        const ssize_t n = ::write(fd, bytes.data(), std::min(block, total - sent));
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        pollfd p{fd, POLLOUT, 0};
        poll(&p, 1, 1000);
    }
}

std::size_t RawReceive(int fd)
{
    char buffer[65536];
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 5000) <= 0)
        return SIZE_MAX;
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

bool RawRoundTrip(int fd)
{
    char bytes[4] = {1, 2, 3, 4};
    if (::write(fd, bytes, 4) != 4)
        return false;
    for (std::size_t got = 0; got < 4;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 5000) <= 0)
            return false;
        const ssize_t n = ::read(fd, bytes, 4 - got);
        if (n > 0)
            got += static_cast<std::size_t>(n);
    }
    return true;
}

// ---- the engine --------------------------------------------------------

// Wakes the bench's thread on the engine's notifications.
struct TEngineWake {
    std::mutex Lock;
    std::condition_variable Changed;
    std::atomic<int> Events{0};
    void Attach(TComm32& engine)
    {
        engine.OnCommNotify = [this](TObject*, int type) {
            if (type & (OrvekComm32::EV_RXCHAR | OrvekComm32::EV_TXEMPTY)) {
                std::lock_guard guard(Lock);
                Events.fetch_add(1);
                Changed.notify_all();
            }
        };
    }
    void Wait(int seen)
    {
        std::unique_lock guard(Lock);
        Changed.wait_for(guard, std::chrono::milliseconds(1), [&] { return Events.load() != seen; });
    }
};

void EngineSend(TComm32& engine, TEngineWake& wake, std::size_t total, std::size_t block)
{
    const std::string bytes(block, 'e');
    std::size_t sent = 0;
    while (sent < total) {
        const int seen = wake.Events.load();
        const long n = engine.Write(bytes.data(), static_cast<long>(std::min(block, total - sent)));
        sent += static_cast<std::size_t>(n);
        if (n == 0)
            wake.Wait(seen);
    }
}

std::size_t EngineReceive(TComm32& engine, TEngineWake& wake)
{
    char buffer[65536];
    const int seen = wake.Events.load();
    const long n = engine.Read(buffer, sizeof buffer);
    if (n == 0)
        wake.Wait(seen);
    return static_cast<std::size_t>(n);
}

bool EngineRoundTrip(TComm32& engine, TEngineWake& wake)
{
    char bytes[4] = {1, 2, 3, 4};
    if (engine.Write(bytes, 4) != 4)
        return false;
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    for (long got = 0; got < 4;) {
        const int seen = wake.Events.load();
        const long n = engine.Read(bytes, 4 - got);
        got += n;
        if (n == 0) {
            if (Clock::now() > deadline)
                return false;
            wake.Wait(seen);
        }
    }
    return true;
}

// ---- QSerialPort -------------------------------------------------------

void QtSend(QSerialPort& port, std::size_t total, std::size_t block)
{
    const QByteArray bytes(static_cast<int>(block), 'q');
    for (std::size_t sent = 0; sent < total; sent += block) {
        port.write(bytes.constData(), static_cast<qint64>(std::min(block, total - sent)));
        while (port.bytesToWrite() > 1 << 20)
            port.waitForBytesWritten(1000);
    }
    while (port.bytesToWrite() > 0 && port.waitForBytesWritten(1000)) {
    }
}

std::size_t QtReceive(QSerialPort& port)
{
    if (port.bytesAvailable() == 0 && !port.waitForReadyRead(5000))
        return SIZE_MAX;
    return static_cast<std::size_t>(port.readAll().size());
}

bool QtRoundTrip(QSerialPort& port)
{
    const char bytes[4] = {1, 2, 3, 4};
    port.write(bytes, 4);
    if (!port.waitForBytesWritten(5000) && port.bytesToWrite() > 0)
        return false;
    while (port.bytesAvailable() < 4)
        if (!port.waitForReadyRead(5000))
            return false;
    port.read(4);
    return true;
}

// ---- the run -----------------------------------------------------------

struct TRound {
    TFigures Send[2], Receive[2];  // 256, 4096
    TLatency Trip;
};

const std::size_t Blocks[2] = {256, 4096};

void PrintRatio(int round, const char* name, double value, const char* goal)
{
    std::printf("round %d %s: %.2f x (%s)\n", round, name, value, goal);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    testsupport::PortDirectory ports;
    testsupport::PtyPort pty(3);
    const int master = pty.MasterFd();
    const std::size_t total = Total();
    std::printf("%zu MiB per transfer, %d round trips of 4 bytes, %d rounds\n", total >> 20, RoundTrips, Rounds);

    for (int round = 1; round <= Rounds; ++round) {
        TRound raw, engine, qt;

        const int fd = OpenRaw(pty.SlavePath());
        for (int b = 0; b < 2; ++b) {
            raw.Send[b] = Sending(master, total, [&] { RawSend(fd, total, Blocks[b]); });
            raw.Receive[b] = Receiving(master, total, Blocks[b], [&] { return RawReceive(fd); });
        }
        raw.Trip = RoundTripsOf(master, [&] { return RawRoundTrip(fd); });
        ::close(fd);

        {
            TComm32 port;
            port.PortNo = 3;
            std::snprintf(port.DeviceName, sizeof port.DeviceName, TComm32::Fmt_COMn, 3);
            // Room for the bench's thread to write and read ahead.
            port.OutQueue->fSetBufSize(1 << 20);
            port.InQueue->fSetBufSize(1 << 20);
            TEngineWake wake;
            wake.Attach(port);
            port.Open();
            for (int b = 0; b < 2; ++b) {
                engine.Send[b] = Sending(master, total, [&] { EngineSend(port, wake, total, Blocks[b]); });
                engine.Receive[b] = Receiving(master, total, Blocks[b], [&] { return EngineReceive(port, wake); });
            }
            engine.Trip = RoundTripsOf(master, [&] { return EngineRoundTrip(port, wake); });
            port.Close();
            port.OnCommNotify = nullptr;
        }

        {
            QSerialPort port;
            port.setPortName(QString::fromStdString(pty.SlavePath()));
            if (!port.open(QIODevice::ReadWrite)) {
                std::fprintf(stderr, "QSerialPort cannot open %s\n", pty.SlavePath().c_str());
                return 1;
            }
            for (int b = 0; b < 2; ++b) {
                qt.Send[b] = Sending(master, total, [&] { QtSend(port, total, Blocks[b]); });
                qt.Receive[b] = Receiving(master, total, Blocks[b], [&] { return QtReceive(port); });
            }
            qt.Trip = RoundTripsOf(master, [&] { return QtRoundTrip(port); });
            port.close();
        }

        for (int b = 0; b < 2; ++b) {
            std::printf("round %d send %zu: raw %.1f MB/s %.3f s CPU/MiB, engine %.1f MB/s %.3f s CPU/MiB, "
                        "qserialport %.1f MB/s %.3f s CPU/MiB\n",
                        round, Blocks[b], raw.Send[b].Rate / 1e6, raw.Send[b].CpuPerMiB, engine.Send[b].Rate / 1e6,
                        engine.Send[b].CpuPerMiB, qt.Send[b].Rate / 1e6, qt.Send[b].CpuPerMiB);
            std::printf("round %d receive %zu: raw %.1f MB/s, engine %.1f MB/s, qserialport %.1f MB/s\n", round,
                        Blocks[b], raw.Receive[b].Rate / 1e6, engine.Receive[b].Rate / 1e6, qt.Receive[b].Rate / 1e6);
            char name[64];
            std::snprintf(name, sizeof name, "send_%zu_engine_vs_raw", Blocks[b]);
            PrintRatio(round, name, engine.Send[b].Rate / raw.Send[b].Rate, "goal >= 0.8");
            std::snprintf(name, sizeof name, "send_%zu_engine_vs_qserialport", Blocks[b]);
            PrintRatio(round, name, engine.Send[b].Rate / qt.Send[b].Rate, "info");
            std::snprintf(name, sizeof name, "send_%zu_cpu_per_mib_engine_vs_raw", Blocks[b]);
            PrintRatio(round, name, engine.Send[b].CpuPerMiB / raw.Send[b].CpuPerMiB, "goal <= 5");
            std::snprintf(name, sizeof name, "receive_%zu_engine_vs_raw", Blocks[b]);
            PrintRatio(round, name, engine.Receive[b].Rate / raw.Receive[b].Rate, "goal >= 1.0");
            std::snprintf(name, sizeof name, "receive_%zu_engine_vs_qserialport", Blocks[b]);
            PrintRatio(round, name, engine.Receive[b].Rate / qt.Receive[b].Rate, "info");
        }
        std::printf("round %d round trip: raw median %.0f us p99 %.0f us %.0f/s, engine %.0f us %.0f us %.0f/s, "
                    "qserialport %.0f us %.0f us %.0f/s\n",
                    round, raw.Trip.Median, raw.Trip.P99, raw.Trip.Rate, engine.Trip.Median, engine.Trip.P99,
                    engine.Trip.Rate, qt.Trip.Median, qt.Trip.P99, qt.Trip.Rate);
        PrintRatio(round, "round_trip_median_engine_vs_raw", engine.Trip.Median / raw.Trip.Median, "goal <= 1.25");
        PrintRatio(round, "round_trip_p99_engine_vs_raw", engine.Trip.P99 / raw.Trip.P99, "goal <= 1.5");
        PrintRatio(round, "round_trip_median_engine_vs_qserialport", engine.Trip.Median / qt.Trip.Median, "info");
        std::fflush(stdout);
    }

    // Idle: the engine open on a port with no traffic, beside the least a
    // program with a 200 ms timer thread costs, a bare thread that polls
    // nothing every 200 ms (the engine's timer thread keeps that pace).
    const auto idleShare = [] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const double cpu = CpuSeconds();
        const auto start = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(5));
        return 100.0 * (CpuSeconds() - cpu) / Seconds(Clock::now() - start);
    };
    std::atomic<bool> stop{false};
    std::thread poller([&] {
        while (!stop)
            poll(nullptr, 0, 200);
    });
    const double floor = idleShare();
    stop = true;
    poller.join();
    Print("bare_200ms_poller_idle_cpu", floor, "% of a core", "info");
    TComm32 idle;
    idle.PortNo = 3;
    std::snprintf(idle.DeviceName, sizeof idle.DeviceName, TComm32::Fmt_COMn, 3);
    idle.Open();
    Print("engine_idle_cpu", idleShare(), "% of a core", "goal < 0.02");
    idle.Close();
    return 0;
}
