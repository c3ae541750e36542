#pragma once
// The controller's end of the line, played by a test on the master side of
// a pty: it gathers what the tool writes while the event loop runs, cuts it
// into controller frames with the simulator's reader, and, when answering,
// lets the simulator's controller acknowledge each frame.

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <string>
#include <unistd.h>
#include <vector>

#include <QSocketNotifier>
#include <QTest>

#include "Controller.h"
#include "FrameReader.h"
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
    // Stops listening, before the test takes the line away.
    void Detach() { Notifier.setEnabled(false); }
    // Writes the bytes to the tool as they are (one package once the line
    // falls silent).
    void Send(const Bytes& bytes) { Port.Write(bytes); }

    // Every byte received, and the whole frames among them.
    const Bytes& Received() const { return Raw; }
    std::vector<std::string> FrameTexts() const
    {
        std::vector<std::string> texts;
        for (const Bytes& frame : Complete)
            texts.push_back(FrameText(frame));
        return texts;
    }
    void Clear()
    {
        Raw.clear();
        Reader = {};
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
        std::vector<ccsim::TStreamItem> items;
        for (;;) {
            const ssize_t n = ::read(Port.MasterFd(), chunk, sizeof chunk);
            if (n > 0) {
                Raw.insert(Raw.end(), chunk, chunk + n);
                Reader.Feed({chunk, static_cast<std::size_t>(n)}, items);
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else {
                if (n < 0 && errno == EIO)
                    Notifier.setEnabled(false);  // the tool's side is closed for good
                break;
            }
        }
        for (const ccsim::TStreamItem& item : items) {
            if (item.Kind != ccsim::TStreamItem::Frame)
                continue;
            Complete.push_back(item.Data);
            if (Answering)
                Send(Controller.Receive(item.Data).Reply);
        }
    }

    testsupport::PtyPort& Port;
    QSocketNotifier Notifier;
    bool Answering = false;
    Bytes Raw;
    ccsim::TFrameReader Reader;
    ccsim::TController Controller;
    std::vector<Bytes> Complete;
};

} // namespace apptest
