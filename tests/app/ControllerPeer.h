#pragma once
// The controller's end of the line, played by a test on the master side of
// a pty: it gathers what the tool writes while the event loop runs, cuts it
// into controller frames (7E, 16-bit little-endian length, that many
// bytes), and, when answering, acknowledges each frame as a controller
// does: 2 to a connect request, 3 to a disconnect request and the frame's
// own code to 4 to 8, each as a frame of its own.

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <string>
#include <unistd.h>
#include <vector>

#include <QSocketNotifier>
#include <QTest>

#include "PtyPort.h"

namespace apptest {

using testsupport::Bytes;
using namespace std::chrono_literals;

class ControllerPeer {
public:
    explicit ControllerPeer(testsupport::PtyPort& port) : Port(port), Notifier(port.MasterFd(), QSocketNotifier::Read)
    {
        QObject::connect(&Notifier, &QSocketNotifier::activated, [this] { ReadAvailable(); });
    }

    void SetAnswering(bool on) { Answering = on; }
    // Writes the bytes to the tool as they are (one package once the line
    // falls silent).
    void Send(const Bytes& bytes) { Port.Write(bytes); }

    // Every byte received, and the whole frames among them.
    const Bytes& Received() const { return Raw; }
    std::vector<std::string> FrameTexts() const
    {
        std::vector<std::string> texts;
        for (const Bytes& frame : Complete)
            texts.push_back(testsupport::Hex(frame));
        return texts;
    }
    void Clear()
    {
        Raw.clear();
        Cut = 0;
        Complete.clear();
    }

    // Run the event loop until enough has arrived.
    bool WaitForFrames(std::size_t count) { return QTest::qWaitFor([&] { return Complete.size() >= count; }); }
    bool WaitForBytes(std::size_t count) { return QTest::qWaitFor([&] { return Raw.size() >= count; }); }
    // Runs the event loop for `window` and tells whether nothing arrived.
    bool Silent(std::chrono::milliseconds window)
    {
        const std::size_t before = Raw.size();
        QTest::qWait(static_cast<int>(window.count()));
        return Raw.size() == before;
    }

private:
    void ReadAvailable()
    {
        std::uint8_t chunk[4096];
        for (;;) {
            const ssize_t n = ::read(Port.MasterFd(), chunk, sizeof chunk);
            if (n > 0)
                Raw.insert(Raw.end(), chunk, chunk + n);
            else if (n < 0 && errno == EINTR)
                continue;
            else {
                if (n < 0 && errno == EIO)
                    Notifier.setEnabled(false);  // the tool's side is closed for good
                break;
            }
        }
        while (Raw.size() - Cut >= 3) {
            const std::size_t length = Raw[Cut + 1] | (std::size_t(Raw[Cut + 2]) << 8);
            if (Raw.size() - Cut < 3 + length)
                return;
            const auto begin = Raw.begin() + static_cast<std::ptrdiff_t>(Cut);
            Cut += 3 + length;
            const Bytes& frame = Complete.emplace_back(begin, begin + static_cast<std::ptrdiff_t>(3 + length));
            if (Answering && frame.size() >= 4 && frame[0] == 0x7E && frame[3] >= 2 && frame[3] <= 8)
                Send(Bytes{0x7E, 0x01, 0x00, frame[3]});
        }
    }

    testsupport::PtyPort& Port;
    QSocketNotifier Notifier;
    bool Answering = false;
    Bytes Raw;
    std::size_t Cut = 0;
    std::vector<Bytes> Complete;
};

} // namespace apptest
