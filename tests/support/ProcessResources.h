#pragma once
// What the process holds right now, from /proc: open file descriptors and
// running threads. A test compares the figures before and after a workload.

#include <cstddef>

namespace soak {

std::size_t OpenDescriptorCount();
std::size_t ThreadCount();
// CPU time (user + system) the whole process has used, in milliseconds.
double ProcessCpuMilliseconds();
// A count scaled down for slow builds: CCDL_SOAK_SCALE (a divisor, default 1)
// lets the sanitizer runs keep the same workload shape in less time.
std::size_t Scaled(std::size_t count);

} // namespace soak
