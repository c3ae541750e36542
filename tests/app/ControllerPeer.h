#pragma once
// The controller's end of the line, played by a test on the master side of
// a pty: it gathers what the tool writes while the event loop runs, cuts it
// into controller frames (7E, 16-bit little-endian length, that many
// bytes), and, when answering, acknowledges each frame as a controller
// does: 2 to a connect request, 3 to a disconnect request and the frame's
// own code to 4 to 8, each as a frame of its own.

#include <chrono>
#include <cstdint>
#include <vector>

#include <QObject>

#include "PtyPort.h"

class QSocketNotifier;

namespace apptest {

using testsupport::Bytes;
using namespace std::chrono_literals;

class ControllerPeer : public QObject {
public:
    explicit ControllerPeer(testsupport::PtyPort& port, bool answering = false);
    ~ControllerPeer() override;

    void SetAnswering(bool on) { Answering = on; }
    // Writes the bytes to the tool as they are (one package once the line
    // falls silent).
    void Send(const Bytes& bytes);

    // Every byte received, and the whole frames among them.
    const Bytes& Received() const { return Raw; }
    const std::vector<Bytes>& Frames() const { return Complete; }
    std::vector<std::string> FrameTexts() const;
    void Clear();

    // Run the event loop until enough has arrived.
    bool WaitForFrames(std::size_t count, std::chrono::milliseconds timeout = 5s);
    bool WaitForBytes(std::size_t count, std::chrono::milliseconds timeout = 5s);
    // Runs the event loop for `window` and tells whether nothing arrived.
    bool Silent(std::chrono::milliseconds window);

private:
    void ReadAvailable();
    void CutFrames();

    testsupport::PtyPort& Port;
    QSocketNotifier* Notifier;
    bool Answering;
    Bytes Raw;
    std::size_t Cut = 0;
    std::vector<Bytes> Complete;
};

} // namespace apptest
