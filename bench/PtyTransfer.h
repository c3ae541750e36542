#pragma once
// The transfers the port benchmarks share: a pty master end that drains
// what the port under test writes, or feeds it with a bounded window of
// bytes in flight (a receive queue drops what does not fit).

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace bench {

using Clock = std::chrono::steady_clock;

constexpr std::size_t TotalBytes = 8u << 20;
constexpr std::size_t FeedChunk = 256;
constexpr std::size_t Window = 4096;

inline double Seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// Reads `total` bytes from a descriptor, waiting with poll.
inline void Drain(int fd, std::size_t total)
{
    char buffer[65536];
    std::size_t got = 0;
    while (got < total) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 5000) <= 0)
            return;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0)
            got += static_cast<std::size_t>(n);
    }
}

// Writes `total` bytes in `block`s, keeping at most `window` of them ahead
// of `received`.
inline void FeedWindowed(int fd, std::size_t total, const std::atomic<std::size_t>& received,
                         std::size_t block = FeedChunk, std::size_t window = Window)
{
    const std::string bytes(block, 'b');
    std::size_t sent = 0;
    while (sent < total) {
        if (sent - received.load(std::memory_order_acquire) + block > window) {
            std::this_thread::yield();
            continue;
        }
        const ssize_t n = ::write(fd, bytes.data(), std::min(block, total - sent));
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
        } else {
            pollfd p{fd, POLLOUT, 0};
            poll(&p, 1, 5000);
        }
    }
}

inline void Print(const char* name, double value, const char* unit, const char* goal)
{
    std::printf("%s: %.2f %s (%s)\n", name, value, unit, goal);
    std::fflush(stdout);
}

} // namespace bench
