#include "SimPty.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <pty.h>
#include <stdexcept>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "LineSpeed.h"
#include "Options.h"
#include "SystemFailure.h"
#include "TCommSerialPortInfo.h"

namespace ccsim {
namespace {

void SetRaw(int fd, int baud)
{
    termios settings {};
    if (tcgetattr(fd, &settings) != 0)
        Fail("tcgetattr");
    cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    if (tcsetattr(fd, TCSANOW, &settings) != 0)
        Fail("tcsetattr");
    if (!SetLineSpeed(fd, baud))
        Fail("cannot set " + std::to_string(baud) + " baud");
}

std::string ReadLinkTarget(const std::string& link)
{
    char target[PATH_MAX];
    const ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
    return length > 0 ? std::string(target, static_cast<std::size_t>(length)) : std::string();
}

} // namespace

TSimPty::TSimPty(int comNumber, int baud)
{
    char name[PATH_MAX] = {};
    if (openpty(&Master, &SlaveKeeper, name, nullptr, nullptr) != 0)
        Fail("cannot open a pseudo-terminal");
    Slave = name;
    fcntl(Master, F_SETFD, FD_CLOEXEC);
    fcntl(SlaveKeeper, F_SETFD, FD_CLOEXEC);
    fcntl(Master, F_SETFL, fcntl(Master, F_GETFL) | O_NONBLOCK);
    Link = OrvekComm32::TCommSerialPortInfo::LinkDirectory() + "/" + ComName(comNumber);
    try {
        SetRaw(SlaveKeeper, baud);
        _Register();
    } catch (...) {
        close(SlaveKeeper);
        close(Master);
        throw;
    }
}

TSimPty::~TSimPty()
{
    _Unregister();
    close(SlaveKeeper);
    close(Master);
}

int TSimPty::CurrentBaud() const
{
    return LineSpeedOf(SlaveKeeper);
}

void TSimPty::_Register()
{
    namespace fs = std::filesystem;
    std::error_code error;
    if (const std::string problem = OrvekComm32::TCommSerialPortInfo::MakeLinkDirectory(); !problem.empty())
        throw std::runtime_error(problem);

    // A link left by a simulator that was killed points nowhere (or to a
    // pty someone else now holds, which we cannot tell apart from a live
    // one): replace the first, refuse the second.
    struct stat entry {};
    if (lstat(Link.c_str(), &entry) == 0) {
        const bool stale = S_ISLNK(entry.st_mode) && !fs::exists(Link, error);
        if (!stale)
            throw std::runtime_error(Link + " already exists" +
                                     (S_ISLNK(entry.st_mode) ? " and points to " + ReadLinkTarget(Link) : "") +
                                     "; is another simulator running? Remove it or choose another --port");
        ::unlink(Link.c_str());
    }
    if (symlink(Slave.c_str(), Link.c_str()) != 0)
        Fail("cannot link " + Link + " to " + Slave);
}

void TSimPty::_Unregister()
{
    if (ReadLinkTarget(Link) == Slave)
        ::unlink(Link.c_str());
}

} // namespace ccsim
