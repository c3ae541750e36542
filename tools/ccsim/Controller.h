#pragma once
// What the controller does with each frame of the tool: it answers a
// connect request with code 2, a disconnect request with code 3 and each
// piece of the configuration (commands 4 to 8) with the same code, each
// answer a whole frame 7E 01 00 <code>. It keeps the configuration, and
// command 8 completes a download. Commands it does not know it leaves
// unanswered.
//
// The fault modes change only the answers: never answer, answer with
// bytes that are not a frame, or stop answering after a number of frames.
//
// Threads: one object per thread; no shared state.

#include <optional>
#include <string>

#include "Configuration.h"
#include "FrameReader.h"

namespace ccsim {

struct TFaults {
    bool Silent = false;
    bool Garbage = false;
    std::optional<int> DropAfter;
};

struct TResponse {
    std::string Meaning;      // what the frame asks, for the log
    Bytes Reply;              // empty when nothing is sent back
    std::string ReplyMeaning; // what the reply says, or why there is none
    bool DownloadComplete = false;
};

enum TCommand : std::uint8_t {
    ConnectRequest = ControllerFrame::Connect,
    DisconnectRequest = ControllerFrame::Disconnect,
    FirstSequence = ControllerFrame::OffSequence, // 4 to 7: the four byte sequences
    LineSettings = ControllerFrame::LineSettings,
};

class TController {
public:
    explicit TController(TFaults faults = {}) : Faults(faults) {}

    // `frame` is a whole frame as TFrameReader gives it.
    TResponse Receive(const Bytes& frame);

    // What the current (or last) download has brought so far. A new
    // download begins with command 4 and forgets the one before.
    const TConfiguration& Configuration() const { return Received; }

private:
    std::string _Record(std::uint8_t command, const Bytes& data);
    void _Answer(std::uint8_t code, TResponse& response);

    TFaults Faults;
    TConfiguration Received;
    int Answered = 0;
};

// The acknowledgement frame 7E 01 00 <code>.
Bytes AckFrame(std::uint8_t code);

} // namespace ccsim
