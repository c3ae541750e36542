#include "ControllerPeer.h"

#include <cerrno>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTest>

namespace apptest {

ControllerPeer::ControllerPeer(testsupport::PtyPort& port, bool answering)
    : Port(port), Notifier(new QSocketNotifier(port.MasterFd(), QSocketNotifier::Read, this)),
      Answering(answering)
{
    connect(Notifier, &QSocketNotifier::activated, this, [this] { ReadAvailable(); });
}

ControllerPeer::~ControllerPeer()
{
    Notifier->setEnabled(false);
}

void ControllerPeer::Send(const Bytes& bytes)
{
    Port.Write(bytes);
}

std::vector<std::string> ControllerPeer::FrameTexts() const
{
    std::vector<std::string> texts;
    for (const Bytes& frame : Complete)
        texts.push_back(testsupport::Hex(frame));
    return texts;
}

void ControllerPeer::Clear()
{
    Raw.clear();
    Cut = 0;
    Complete.clear();
}

bool ControllerPeer::WaitForFrames(std::size_t count, std::chrono::milliseconds timeout)
{
    return QTest::qWaitFor([&] { return Complete.size() >= count; }, static_cast<int>(timeout.count()));
}

bool ControllerPeer::WaitForBytes(std::size_t count, std::chrono::milliseconds timeout)
{
    return QTest::qWaitFor([&] { return Raw.size() >= count; }, static_cast<int>(timeout.count()));
}

bool ControllerPeer::Silent(std::chrono::milliseconds window)
{
    const std::size_t before = Raw.size();
    QTest::qWait(static_cast<int>(window.count()));
    return Raw.size() == before;
}

void ControllerPeer::ReadAvailable()
{
    std::uint8_t chunk[4096];
    for (;;) {
        const ssize_t n = ::read(Port.MasterFd(), chunk, sizeof chunk);
        if (n > 0) {
            Raw.insert(Raw.end(), chunk, chunk + n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EIO)
            Notifier->setEnabled(false); // the tool's side is closed for good
        break;
    }
    CutFrames();
}

void ControllerPeer::CutFrames()
{
    while (Raw.size() - Cut >= 3) {
        const std::size_t length = Raw[Cut + 1] | (std::size_t(Raw[Cut + 2]) << 8);
        if (Raw.size() - Cut < 3 + length)
            return;
        Bytes frame(Raw.begin() + static_cast<std::ptrdiff_t>(Cut),
                    Raw.begin() + static_cast<std::ptrdiff_t>(Cut + 3 + length));
        Cut += 3 + length;
        Complete.push_back(frame);
        if (Answering && frame.size() >= 4 && frame[0] == 0x7E && frame[3] >= 2 && frame[3] <= 8)
            Send(Bytes{0x7E, 0x01, 0x00, frame[3]});
    }
}

} // namespace apptest

