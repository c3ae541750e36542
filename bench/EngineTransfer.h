#pragma once
// Moving the benchmarks' bytes through the engine: the bench's thread
// writes into or reads from the engine's queues while a pty master end
// drains or feeds the other side.

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "PtyTransfer.h"
#include "TComm32.h"

namespace bench {

using OrvekComm32::TComm32;

// Wakes the bench's thread when bytes came in; a writer waits 1 ms steps.
struct TWakeUp {
    std::mutex Lock;
    std::condition_variable Changed;
    void Attach(TComm32& engine)
    {
        engine.OnCommNotify = [this](TObject*, int type) {
            if (type & OrvekComm32::EV_RXCHAR)
                Changed.notify_all();
        };
    }
    void Wait()
    {
        std::unique_lock guard(Lock);
        Changed.wait_for(guard, std::chrono::milliseconds(1));
    }
};

inline double EngineToMaster(TComm32& engine, TWakeUp& wake, int master)
{
    const std::string block(4096, 'e');
    const auto start = Clock::now();
    std::thread reader(Drain, master, TotalBytes);
    std::size_t sent = 0;
    while (sent < TotalBytes) {
        const long n = engine.Write(block.data(), static_cast<long>(std::min(block.size(), TotalBytes - sent)));
        sent += static_cast<std::size_t>(n);
        if (n == 0)
            wake.Wait();
    }
    reader.join();
    return TotalBytes / Seconds(Clock::now() - start);
}

inline double MasterToEngine(TComm32& engine, TWakeUp& wake, int master)
{
    std::atomic<std::size_t> got{0};
    const auto start = Clock::now();
    std::thread writer(FeedWindowed, master, TotalBytes, std::cref(got));
    char buffer[8192];
    while (got.load() < TotalBytes) {
        const long n = engine.Read(buffer, sizeof buffer);
        got.fetch_add(static_cast<std::size_t>(n), std::memory_order_release);
        if (n == 0)
            wake.Wait();
    }
    writer.join();
    return TotalBytes / Seconds(Clock::now() - start);
}

struct TEngineThroughput {
    double Write;  // bytes per second, engine to master
    double Read;   // bytes per second, master to engine
};

// Both directions through an engine opened on COM<comNumber>, the pty
// whose master end is `master`; the engine is closed again afterwards.
inline TEngineThroughput MeasureEngine(TComm32& engine, int comNumber, int master)
{
    engine.PortNo = comNumber;
    std::snprintf(engine.DeviceName, sizeof engine.DeviceName, TComm32::Fmt_COMn, comNumber);
    TWakeUp wake;
    wake.Attach(engine);
    // Room for the bench's thread to write ahead: it refills at 1 ms steps.
    engine.OutQueue->fSetBufSize(1 << 20);
    engine.Open();
    TEngineThroughput figures;
    figures.Write = EngineToMaster(engine, wake, master);
    figures.Read = MasterToEngine(engine, wake, master);
    engine.Close();
    engine.OnCommNotify = nullptr;
    return figures;
}

} // namespace bench
