#include "LinkDriver.h"

#include <cstdio>

#include "ControllerFrame.h"
#include "FrameText.h"
#include "ParseHexBytes.h"

namespace ccdl {
namespace {

using ControllerLink::TAction;

struct TStep {
    std::uint8_t Code; // the command sent, and the code that answers it
    const char* Name;
};

constexpr TStep Steps[StepCount] = {
    {ControllerFrame::Connect, "connect request"},
    {ControllerFrame::OffSequence, "off"},
    {ControllerFrame::OnSequence, "on"},
    {ControllerFrame::ComputerSequence, "computer"},
    {ControllerFrame::VideoSequence, "video"},
    {ControllerFrame::LineSettings, "line settings"},
    {ControllerFrame::Disconnect, "disconnect request"},
};

int StepOf(std::uint8_t code)
{
    for (int i = 0; i < StepCount; ++i)
        if (Steps[i].Code == code)
            return i;
    return 0;
}

std::string Code(std::uint8_t code)
{
    return FrameText(std::span(&code, 1));
}

bool Shows(const ControllerLink::TReaction& reaction, TAction::TKind kind)
{
    for (const TAction& action : reaction.Actions)
        if (action.Kind == kind)
            return true;
    return false;
}

} // namespace

TLinkDriver::TBytes TLinkDriver::TSettingsConfiguration::Sequence(std::uint8_t code) const
{
    return ParseHexBytes(Settings.Sequences[code - ControllerFrame::OffSequence], ControllerFrame::MaxData);
}

TLinkDriver::TLinkDriver(const TDownloadSettings& settings, TPortResult& result,
                         const std::function<void(const std::string&)>& log)
    : Settings(settings), Result(result), Log(log), Configuration(settings)
{
}

TLinkDriver::TBytes TLinkDriver::Start()
{
    std::vector<TBytes> out;
    _Send(ControllerLink::Opened(State), "", out);
    return out.front();
}

std::vector<TLinkDriver::TBytes> TLinkDriver::Package(std::span<const std::uint8_t> package)
{
    std::vector<TBytes> out;
    if (Finished())
        return out;
    if (ControllerFrame::ReceivedCode(package) != Steps[Step].Code)
        ++Others;
    const ControllerLink::TReaction reaction = ControllerLink::Receive(State, package, Configuration);
    for (const TAction& action : reaction.Actions)
        if (action.Kind == TAction::Send)
            _Send(action.Frame, "", out);
    if (!reaction.EndPoll) {
        const std::string why = " (after a package that was not " + Code(Steps[Step].Code) + ")";
        if (const auto frame = ControllerLink::Resend(State); frame && !_Send(*frame, why, out))
            return out;
    }
    // The operator's moves, after the package as the window's are.
    if (Shows(reaction, TAction::ShowLinkUp) && !Transferred) {
        Transferred = true;
        _Send(ControllerLink::Transfer(Configuration), "", out);
    } else if (Shows(reaction, TAction::ShowSendingDone) && !Disconnecting) {
        Disconnecting = true;
        _Send(ControllerLink::Disconnect(State), "", out);
    } else if (Shows(reaction, TAction::ShowLinkDown) && Disconnecting) {
        Result.Done = true;
        Result.Message = "done, " + std::to_string(Result.FramesSent) + " frames sent";
    }
    return out;
}

std::optional<TLinkDriver::TBytes> TLinkDriver::Timeout()
{
    std::vector<TBytes> out;
    if (Finished() || !_Send(Frame, " (no answer within " + TimeoutText() + ")", out))
        return std::nullopt;
    return out.front();
}

bool TLinkDriver::_Send(TBytes frame, const std::string& why, std::vector<TBytes>& out)
{
    const std::uint8_t code = frame[3];
    const bool again = code == Steps[Step].Code && Sends > 0;
    if (again && Sends > Settings.Retries) {
        std::string reason = "no answer " + Code(code) + " within " + TimeoutText() + " after " +
                             std::to_string(Sends) + " frames";
        if (Others > 0)
            reason += "; " + std::to_string(Others) + " other packages came";
        Fail(reason);
        return false;
    }
    if (!again) {
        Step = StepOf(code);
        Sends = 0;
        Others = 0;
    }
    ++Sends;
    ++Result.FramesSent;
    Frame = frame;
    out.push_back(std::move(frame));
    Log(_Position() + (again ? " sent again" + why : " sent") + ", waiting for " + Code(code));
    return true;
}

void TLinkDriver::Fail(const std::string& reason)
{
    Result.FailingStep = Steps[Step].Name;
    Result.Message = "failed at " + _StepText() + ": " + reason;
    // Told when it happens too: the summary waits for the other ports.
    Log(Result.Port + ": " + Result.Message);
}

std::string TLinkDriver::_StepText() const
{
    return std::to_string(Step) + "/" + std::to_string(StepCount) + " " + Steps[Step].Name;
}

std::string TLinkDriver::_Position() const
{
    return Result.Port + ": " + _StepText();
}

std::string TLinkDriver::TimeoutText() const
{
    char text[32];
    std::snprintf(text, sizeof text, "%g s", Settings.TimeoutSeconds);
    return text;
}

} // namespace ccdl
