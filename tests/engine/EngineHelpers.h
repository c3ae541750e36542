#pragma once
// Small pieces the engine tests share.

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "TComm32.h"

namespace enginetest {

using namespace std::chrono_literals;

inline void UsePort(OrvekComm32::TComm32& engine, int comNumber)
{
    engine.PortNo = comNumber;
    std::snprintf(engine.DeviceName, sizeof engine.DeviceName, OrvekComm32::TComm32::Fmt_COMn, comNumber);
}

// Reads from the engine's receive queue until `wanted` bytes came or the
// time-out passed.
inline std::string ReadFromEngine(OrvekComm32::TComm32& engine, std::size_t wanted,
                                  std::chrono::milliseconds timeout = 5s)
{
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    char buffer[4096];
    while (got.size() < wanted && std::chrono::steady_clock::now() < deadline) {
        const long n = engine.Read(buffer, static_cast<long>(std::min(sizeof buffer, wanted - got.size())));
        if (n > 0)
            got.append(buffer, static_cast<std::size_t>(n));
        else
            std::this_thread::sleep_for(1ms);
    }
    return got;
}

} // namespace enginetest
