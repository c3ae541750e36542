// The package layer's speed: framing and head/tail parsing beside memcpy of
// the same data, and how soon a time-out package is reported after its
// last byte.
#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <random>
#include <vector>

#include "PackageCodec.h"
#include "PtyPort.h"
#include "PtyTransfer.h"
#include "TComm32.h"
#include "Tcommpkg.h"

using namespace OrvekComm32;
using namespace bench;

namespace {

constexpr std::uint32_t PackageSize = 4096;
constexpr int CodecRounds = 4000;

std::vector<unsigned char> RandomPackage()
{
    std::mt19937 random(7);
    std::vector<unsigned char> data(PackageSize);
    for (auto& byte : data)
        byte = static_cast<unsigned char>(random());
    return data;
}

// Keeps the optimiser from dropping work whose result nobody reads.
volatile std::uint32_t Sink;

void CountPackage(void*, const unsigned char*, std::uint32_t length)
{
    Sink = Sink + length;
}

void CodecFigures()
{
    const auto data = RandomPackage();
    const TFrameMarks marks;
    std::vector<unsigned char> encoded(EncodedSizeLimit(PackageSize));
    std::vector<unsigned char> copy(PackageSize);
    std::vector<unsigned char> decoded(PackageSize);

    auto start = Clock::now();
    std::uint32_t encodedLength = 0;
    for (int round = 0; round < CodecRounds; ++round)
        encodedLength = EncodePackage(data.data(), PackageSize, marks, true, encoded.data());
    const double encodeRate = double(PackageSize) * CodecRounds / Seconds(Clock::now() - start);

    start = Clock::now();
    for (int round = 0; round < CodecRounds; ++round) {
        THeadTailDecoder state;
        DecodeHeadTail(state, marks, decoded.data(), PackageSize, encoded.data(), encodedLength, CountPackage,
                       nullptr);
    }
    const double decodeRate = double(PackageSize) * CodecRounds / Seconds(Clock::now() - start);

    start = Clock::now();
    for (int round = 0; round < CodecRounds * 20; ++round) {
        std::memcpy(copy.data(), data.data(), PackageSize);
        Sink = Sink + copy[round % PackageSize];
    }
    const double copyRate = double(PackageSize) * CodecRounds * 20 / Seconds(Clock::now() - start);

    Print("codec_encode_throughput", encodeRate / 1e6, "MB/s", "info");
    Print("codec_headtail_decode_throughput", decodeRate / 1e6, "MB/s", "info");
    Print("memcpy_throughput", copyRate / 1e6, "MB/s", "info");
    Print("codec_encode_vs_memcpy", encodeRate / copyRate, "x", "info");
    Print("codec_decode_vs_memcpy", decodeRate / copyRate, "x", "info");
    // The codec works byte by byte: what it must beat is the fastest line it
    // serves, a 3 Mbaud adapter carrying 300 kB/s, by a wide margin.
    constexpr double FastestLine = 300e3;
    Print("codec_encode_vs_fastest_line", encodeRate / FastestLine, "x", "goal >= 100");
    Print("codec_decode_vs_fastest_line", decodeRate / FastestLine, "x", "goal >= 100");
}

// The layer's package event, with the moment it came.
struct TArrivals {
    std::mutex Lock;
    std::condition_variable Came;
    std::vector<Clock::time_point> Times;
};

void TimeoutClosureFigures()
{
    constexpr int Packages = 200;
    constexpr unsigned IntervalMs = 50;
    testsupport::PortDirectory ports;
    testsupport::PtyPort pty(2);
    TComm32 engine;
    engine.UsePortNo(2);
    TCommPackage layer(&engine);
    layer.fSetPkgType(cptFrameTimeout);
    layer.fSetPkgInterval(IntervalMs);
    layer.fSetActive(true);
    TArrivals arrivals;
    layer.OnPackage = [&](TObject*, int) {
        {
            std::lock_guard guard(arrivals.Lock);
            arrivals.Times.push_back(Clock::now());
        }
        arrivals.Came.notify_all();
    };
    engine.Open();

    std::vector<double> latenciesMs;
    const std::string package(24, 'p');
    unsigned char buffer[PackageSize];
    for (int i = 0; i < Packages; ++i) {
        pty.Write(package);
        const auto lastByte = Clock::now();
        std::unique_lock guard(arrivals.Lock);
        if (!arrivals.Came.wait_for(guard, std::chrono::seconds(2), [&] { return !arrivals.Times.empty(); }))
            break;
        latenciesMs.push_back(Seconds(arrivals.Times.front() - lastByte) * 1000);
        arrivals.Times.clear();
        guard.unlock();
        while (layer.ReadPackage(buffer, sizeof buffer) > 0) {
        }
    }
    engine.Close();
    if (latenciesMs.size() != Packages) {
        std::fprintf(stderr, "time-out closure: %zu of %d packages reported\n", latenciesMs.size(), Packages);
        return;
    }
    std::sort(latenciesMs.begin(), latenciesMs.end());
    Print("timeout_closure_median", latenciesMs[Packages / 2], "ms", "interval 50 ms");
    Print("timeout_closure_p99", latenciesMs[Packages * 99 / 100], "ms", "goal <= 2 intervals + 2 ms = 102 ms");
}

} // namespace

int main()
{
    CodecFigures();
    TimeoutClosureFigures();
    return 0;
}
