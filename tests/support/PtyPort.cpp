#include "PtyPort.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>

#include "SystemFailure.h"

namespace testsupport {
namespace {

using ccsim::Fail;

// Waits for the master to become readable; false on time-out or hang-up
// with nothing to read.
bool WaitReadable(int fd, std::chrono::milliseconds timeout)
{
    pollfd p {fd, POLLIN, 0};
    return poll(&p, 1, static_cast<int>(timeout.count())) > 0 && (p.revents & POLLIN);
}

} // namespace

PortDirectory::PortDirectory()
{
    if (const char* previous = std::getenv("CCDL_PORT_DIR"))
        Previous = previous;
    Dir = (std::filesystem::temp_directory_path() / "ccdl-ports-XXXXXX").string();
    if (!mkdtemp(Dir.data()))
        Fail("mkdtemp");
    setenv("CCDL_PORT_DIR", Dir.c_str(), 1);
}

PortDirectory::~PortDirectory()
{
    std::error_code ignored;
    std::filesystem::remove_all(Dir, ignored);
    Previous ? setenv("CCDL_PORT_DIR", Previous->c_str(), 1) : unsetenv("CCDL_PORT_DIR");
}

PtyPort::PtyPort(int comNumber) : Pty(std::make_unique<ccsim::TSimPty>(comNumber, 38400))
{
}

void PtyPort::Write(const Bytes& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(MasterFd(), bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p {MasterFd(), POLLOUT, 0};
            poll(&p, 1, 1000);
        } else {
            Fail("write to pty master");
        }
    }
}

Bytes PtyPort::ReadExactly(std::size_t count, std::chrono::milliseconds quiet)
{
    Bytes received(count);
    std::size_t got = 0;
    while (got < count && WaitReadable(MasterFd(), quiet)) {
        const ssize_t n = ::read(MasterFd(), received.data() + got, count - got);
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    received.resize(got);
    return received;
}

bool PtyPort::Silent(std::chrono::milliseconds window)
{
    return !WaitReadable(MasterFd(), window);
}

void PtyPort::Unlink()
{
    if (Pty)
        ::unlink(Pty->LinkPath().c_str());
}

} // namespace testsupport
