#include "ProcessResources.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>

namespace soak {
namespace {

std::size_t EntriesIn(const char* folder)
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder))
        ++count;
    return count;
}

} // namespace

std::size_t OpenDescriptorCount() { return EntriesIn("/proc/self/fd"); }

std::size_t ThreadCount() { return EntriesIn("/proc/self/task"); }

double ProcessCpuMilliseconds()
{
    timespec used {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return used.tv_sec * 1e3 + used.tv_nsec / 1e6;
}

std::size_t Scaled(std::size_t count)
{
    const char* text = std::getenv("CCDL_SOAK_SCALE");
    const long divisor = text ? std::strtol(text, nullptr, 10) : 1;
    if (divisor <= 1)
        return count;
    const std::size_t scaled = count / static_cast<std::size_t>(divisor);
    return scaled ? scaled : 1;
}

} // namespace soak
