// The controller link fed arbitrary packages (each a length byte, then that
// many bytes; the last one takes what is left), in the order the window's
// poll runs it: each package, its actions, then the re-send check unless
// the package ended the poll. Checked: every frame is a whole controller
// frame of a command the tool sends; code 3 leaves ("断开", 0) and ends the
// poll, code 2 leaves "连接" with the request unchanged, any other package
// leaves the state as it was; the re-send check asks for the link exactly
// while the state says so.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "ControllerFrame.h"
#include "ControllerLink.h"

namespace {

using namespace ControllerLink;

class TFuzzConfiguration final : public TConfiguration {
public:
    explicit TFuzzConfiguration(std::span<const std::uint8_t> bytes) : Bytes(bytes.begin(), bytes.end()) {}
    TBytes Sequence(std::uint8_t) const override { return Bytes; }
    int ParityIndex() const override { return static_cast<int>(Bytes.size()) - 1; }
    int BaudIndex() const override { return -1; }

private:
    TBytes Bytes;
};

void Check(bool holds)
{
    if (!holds)
        std::abort();
}

void CheckFrame(const TBytes& frame)
{
    Check(frame.size() >= 4 && frame.size() <= ControllerFrame::MaxData + 4);
    Check(frame[0] == ControllerFrame::FrameMark);
    Check(static_cast<std::size_t>(frame[1] | frame[2] << 8) == frame.size() - 3);
    Check(frame[3] >= ControllerFrame::Connect && frame[3] <= ControllerFrame::LineSettings);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::span<const std::uint8_t> input(data, size);
    const TFuzzConfiguration configuration(input.first(std::min<std::size_t>(size, 600)));
    TState state;
    CheckFrame(Opened(state));
    Check(state.LinkRequested);
    while (!input.empty()) {
        const std::size_t length = std::min<std::size_t>(input[0], input.size() - 1);
        const std::span<const std::uint8_t> package = input.subspan(1, length);
        input = input.subspan(1 + length);

        const TState before = state;
        const TReaction reaction = Receive(state, package, configuration);
        for (const TAction& action : reaction.Actions)
            if (action.Kind == TAction::Send)
                CheckFrame(action.Frame);
        const auto code = ControllerFrame::ReceivedCode(package);
        if (code == ControllerFrame::Disconnect)
            Check(reaction.EndPoll && state == TState {TLabel::LinkDown, false});
        else if (code == ControllerFrame::Connect)
            Check(!reaction.EndPoll && state == TState {TLabel::LinkUp, before.LinkRequested});
        else
            Check(!reaction.EndPoll && state == before);
        if (reaction.EndPoll)
            continue;
        const auto resend = Resend(state);
        const bool asks = (state.Label == TLabel::LinkDown) == state.LinkRequested;
        Check(resend.has_value() == asks);
        if (resend)
            Check(*resend == ControllerFrame::Build(state.LinkRequested ? ControllerFrame::Connect
                                                                        : ControllerFrame::Disconnect));
        // Now and then the operator lets the link go or transfers.
        if (package.size() == 5)
            CheckFrame(Disconnect(state));
        if (package.size() == 6)
            CheckFrame(Transfer(configuration));
    }
    return 0;
}
