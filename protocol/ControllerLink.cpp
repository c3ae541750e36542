#include "ControllerLink.h"

#include "ControllerFrame.h"

namespace ControllerLink {
namespace {

TAction SendOf(TBytes frame)
{
    return {TAction::Send, std::move(frame)};
}

TBytes SequenceFrame(std::uint8_t code, const TConfiguration& configuration)
{
    return ControllerFrame::Build(code, configuration.Sequence(code));
}

} // namespace

TReaction Receive(TState& state, std::span<const std::uint8_t> package, const TConfiguration& configuration)
{
    TReaction reaction;
    const std::optional<std::uint8_t> code = ControllerFrame::ReceivedCode(package);
    if (!code)
        return reaction;
    switch (*code) {
    case ControllerFrame::Connect:
        state.Label = TLabel::LinkUp;
        reaction.Actions.push_back({TAction::ShowLinkUp, {}});
        break;
    case ControllerFrame::Disconnect:
        state = {TLabel::LinkDown, false};
        reaction.Actions.push_back({TAction::ShowLinkDown, {}});
        reaction.EndPoll = true;
        break;
    case ControllerFrame::OffSequence:
    case ControllerFrame::OnSequence:
    case ControllerFrame::ComputerSequence:
        reaction.Actions.push_back(SendOf(SequenceFrame(*code + 1, configuration)));
        break;
    case ControllerFrame::VideoSequence:
        reaction.Actions.push_back(SendOf(
            ControllerFrame::BuildLineSettings(configuration.ParityIndex(), configuration.BaudIndex())));
        break;
    case ControllerFrame::LineSettings:
        reaction.Actions.push_back({TAction::ShowSendingDone, {}});
        break;
    default:
        break;
    }
    return reaction;
}

std::optional<TBytes> Resend(const TState& state)
{
    if (state.Label == TLabel::LinkDown && state.LinkRequested)
        return ControllerFrame::Build(ControllerFrame::Connect);
    if (state.Label == TLabel::LinkUp && !state.LinkRequested)
        return ControllerFrame::Build(ControllerFrame::Disconnect);
    return std::nullopt;
}

TBytes Opened(TState& state)
{
    state.LinkRequested = true;
    return ControllerFrame::Build(ControllerFrame::Connect);
}

TBytes Transfer(const TConfiguration& configuration)
{
    return SequenceFrame(ControllerFrame::OffSequence, configuration);
}

TBytes Disconnect(TState& state)
{
    state.LinkRequested = false;
    return ControllerFrame::Build(ControllerFrame::Disconnect);
}

} // namespace ControllerLink
