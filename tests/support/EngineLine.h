#pragma once
// The test's side of a line when an engine holds it: whole writes, and
// reads that wait until the bytes came, running the event loop meanwhile.

#include <chrono>
#include <string>

#include <gtest/gtest.h>

#include "ModalAnswers.h"
#include "TComm32.h"

namespace testsupport {

// What the engine received, once `wanted` bytes came or `timeout` passed.
inline std::string ReadFromEngine(OrvekComm32::TComm32& engine, std::size_t wanted,
                                  std::chrono::milliseconds timeout = 5s)
{
    std::string got(wanted, '\0');
    std::size_t have = 0;
    WaitUntil(
        [&] {
            have += static_cast<std::size_t>(engine.Read(got.data() + have, static_cast<long>(wanted - have)));
            return have == wanted;
        },
        timeout);
    got.resize(have);
    return got;
}

inline void Send(OrvekComm32::TComm32& engine, const std::string& bytes)
{
    ASSERT_EQ(engine.Write(bytes.data(), static_cast<long>(bytes.size())), static_cast<long>(bytes.size()));
}

} // namespace testsupport
