#pragma once
// What the process holds right now, from /proc: open file descriptors and
// running threads. A test compares the figures before and after a workload.

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iterator>

namespace soak {

inline std::size_t EntriesIn(const char* folder)
{
    using std::filesystem::directory_iterator;
    return static_cast<std::size_t>(std::distance(directory_iterator(folder), directory_iterator()));
}

inline std::size_t OpenDescriptorCount() { return EntriesIn("/proc/self/fd"); }

inline std::size_t ThreadCount() { return EntriesIn("/proc/self/task"); }

// CPU time (user + system) the whole process has used, in milliseconds.
inline double ProcessCpuMilliseconds()
{
    timespec used {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return used.tv_sec * 1e3 + used.tv_nsec / 1e6;
}

// A count scaled down for slow builds: CCDL_SOAK_SCALE (a divisor, default 1)
// lets the sanitizer runs keep the same workload shape in less time.
inline std::size_t Scaled(std::size_t count)
{
    const char* text = std::getenv("CCDL_SOAK_SCALE");
    const long divisor = text ? std::strtol(text, nullptr, 10) : 1;
    return divisor <= 1 ? count : std::max<std::size_t>(count / static_cast<std::size_t>(divisor), 1);
}

} // namespace soak
