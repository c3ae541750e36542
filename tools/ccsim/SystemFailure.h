#pragma once
// How the simulator, and the tests' pseudo-terminal pairs built on its pty,
// report a failed system call.

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace ccsim {

// Throws std::runtime_error with `what` and the text of errno.
[[noreturn]] inline void Fail(const std::string& what)
{
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

} // namespace ccsim
