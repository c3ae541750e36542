#include "PtyPort.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

#include "TCommSerialPortInfo.h"

namespace testsupport {
namespace {

[[noreturn]] void Fail(const std::string& what)
{
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

void MakeRaw(int fd)
{
    termios settings {};
    if (tcgetattr(fd, &settings) != 0)
        Fail("tcgetattr");
    cfmakeraw(&settings);
    if (tcsetattr(fd, TCSANOW, &settings) != 0)
        Fail("tcsetattr");
}

int RemainingMs(std::chrono::steady_clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Waits for the master to become readable; false on time-out or hang-up
// with nothing to read.
bool WaitReadable(int fd, int timeoutMs)
{
    pollfd p {fd, POLLIN, 0};
    const int ready = poll(&p, 1, timeoutMs);
    return ready > 0 && (p.revents & POLLIN);
}

} // namespace

PortDirectory::PortDirectory()
{
    if (const char* previous = std::getenv("CCDL_PORT_DIR")) {
        HadPrevious = true;
        Previous = previous;
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "ccdl-ports-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        Fail("mkdtemp");
    Dir = pattern;
    setenv("CCDL_PORT_DIR", Dir.c_str(), 1);
}

PortDirectory::~PortDirectory()
{
    std::error_code ignored;
    std::filesystem::remove_all(Dir, ignored);
    if (HadPrevious)
        setenv("CCDL_PORT_DIR", Previous.c_str(), 1);
    else
        unsetenv("CCDL_PORT_DIR");
}

PtyPort::PtyPort(int comNumber) : Com(comNumber)
{
    char name[256] = {};
    if (openpty(&Master, &SlaveKeeper, name, nullptr, nullptr) != 0)
        Fail("openpty");
    fcntl(Master, F_SETFD, FD_CLOEXEC);
    fcntl(SlaveKeeper, F_SETFD, FD_CLOEXEC);
    fcntl(Master, F_SETFL, fcntl(Master, F_GETFL) | O_NONBLOCK);
    MakeRaw(SlaveKeeper);
    Slave = name;
    Link = OrvekComm32::TCommSerialPortInfo::LinkDirectory() + "/COM" + std::to_string(comNumber);
    std::filesystem::create_directories(std::filesystem::path(Link).parent_path());
    ::unlink(Link.c_str());
    if (symlink(Slave.c_str(), Link.c_str()) != 0)
        Fail("symlink " + Link);
}

PtyPort::~PtyPort()
{
    Unlink();
    Hangup();
}

void PtyPort::Write(const Bytes& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(Master, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p {Master, POLLOUT, 0};
            poll(&p, 1, 1000);
        } else {
            Fail("write to pty master");
        }
    }
}

void PtyPort::Write(const std::string& text)
{
    Write(Bytes(text.begin(), text.end()));
}

Bytes PtyPort::ReadExactly(std::size_t count, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    Bytes received;
    std::uint8_t chunk[4096];
    while (received.size() < count) {
        if (!WaitReadable(Master, RemainingMs(deadline)))
            break;
        const ssize_t n = ::read(Master, chunk, std::min(sizeof chunk, count - received.size()));
        if (n <= 0)
            break;
        received.insert(received.end(), chunk, chunk + n);
    }
    return received;
}

Bytes PtyPort::ReadUntilQuiet(std::chrono::milliseconds quiet, std::chrono::milliseconds timeout)
{
    Bytes received;
    std::uint8_t chunk[4096];
    int wait = static_cast<int>(timeout.count());
    while (WaitReadable(Master, wait)) {
        const ssize_t n = ::read(Master, chunk, sizeof chunk);
        if (n <= 0)
            break;
        received.insert(received.end(), chunk, chunk + n);
        wait = static_cast<int>(quiet.count());
    }
    return received;
}

bool PtyPort::Silent(std::chrono::milliseconds window)
{
    return !WaitReadable(Master, static_cast<int>(window.count()));
}

void PtyPort::Hangup()
{
    if (Master >= 0)
        ::close(Master);
    if (SlaveKeeper >= 0)
        ::close(SlaveKeeper);
    Master = SlaveKeeper = -1;
}

void PtyPort::Unlink()
{
    if (!Link.empty())
        ::unlink(Link.c_str());
}

std::string Hex(const Bytes& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (std::uint8_t b : bytes) {
        if (!text.empty())
            text += ' ';
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

} // namespace testsupport
