#include "Controller.h"

namespace ccsim {
namespace {

constexpr std::size_t CommandOffset = 3;

std::string CodeName(std::uint8_t code)
{
    switch (code) {
    case ConnectRequest:
        return "link up";
    case DisconnectRequest:
        return "link down";
    default:
        return "ack " + std::to_string(code);
    }
}

} // namespace

Bytes AckFrame(std::uint8_t code)
{
    return ControllerFrame::Build(code);
}

TResponse TController::Receive(const Bytes& frame)
{
    TResponse response;
    const std::uint8_t command = frame.at(CommandOffset);
    const Bytes data(frame.begin() + CommandOffset + 1, frame.end());
    response.Meaning = _Record(command, data);
    if (command < ConnectRequest || command > LineSettings) {
        response.ReplyMeaning = "not answered: unknown command";
        return response;
    }
    response.DownloadComplete = command == LineSettings;
    _Answer(command, response);
    return response;
}

std::string TController::_Record(std::uint8_t command, const Bytes& data)
{
    if (command == ConnectRequest)
        return "connect request";
    if (command == DisconnectRequest)
        return "disconnect request";
    if (command >= FirstSequence && command < FirstSequence + SequenceCount) {
        if (command == FirstSequence)
            Received = {};
        const int index = command - FirstSequence;
        Received.Sequences[index] = data;
        return SequenceName(index) + " sequence, " + std::to_string(data.size()) + " bytes";
    }
    if (command == LineSettings) {
        // A short frame leaves the missing codes unknown; extra bytes are
        // not part of the configuration.
        Received.ParityCode = data.size() > 0 ? std::optional(data[0]) : std::nullopt;
        Received.BaudCode = data.size() > 1 ? std::optional(data[1]) : std::nullopt;
        std::string meaning = "line settings: parity ";
        meaning += Received.ParityCode ? ParityMeaning(*Received.ParityCode) : "missing";
        meaning += ", baud ";
        meaning += Received.BaudCode ? BaudMeaning(*Received.BaudCode) : "missing";
        return meaning;
    }
    return "unknown command " + std::to_string(command);
}

void TController::_Answer(std::uint8_t code, TResponse& response)
{
    if (Faults.Silent) {
        response.ReplyMeaning = "not answered: silent";
        return;
    }
    if (Faults.DropAfter && Answered >= *Faults.DropAfter) {
        response.ReplyMeaning = "not answered: dropping after " + std::to_string(*Faults.DropAfter) + " frames";
        return;
    }
    ++Answered;
    response.Reply = AckFrame(code);
    response.ReplyMeaning = CodeName(code);
    if (Faults.Garbage) {
        // The acknowledgement with its start mark inverted, as a burst of
        // noise on the line would leave it: no longer a frame.
        response.Reply[0] = static_cast<std::uint8_t>(~FrameMark);
        response.ReplyMeaning = "garbage instead of " + response.ReplyMeaning;
    }
}

} // namespace ccsim
