#pragma once
// The download's course through the controller link, without time or port:
// the link's own rules (ControllerLink, as the window runs them) plus what
// ccdl adds, an operator who presses "传送" when the link first comes up and
// "断开" when "发送完毕" first shows, a retry limit per step and the
// reports. The caller writes each frame it is given, waits, and tells the
// driver about every package and every time-out.
//
// A step is the frame last sent and the answer it waits for; a frame that
// the link sends for another code starts that code's step, as the window
// would go on from it. Re-sends (the link's, after a package that was not
// the answer, and the time-out's) count against the step's retries.
//
// Threads: one thread at a time.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ControllerLink.h"
#include "PortDownload.h"
#include "Settings.h"

namespace ccdl {

class TLinkDriver {
public:
    using TBytes = ControllerLink::TBytes;

    TLinkDriver(const TDownloadSettings& settings, TPortResult& result,
                const std::function<void(const std::string& line)>& log);

    // The port is open: the connect request.
    TBytes Start();
    // A received package: the frames to write now, in order.
    std::vector<TBytes> Package(std::span<const std::uint8_t> package);
    // No answer in time: the frame to write again; none once the step has
    // used its retries, which fails the download.
    std::optional<TBytes> Timeout();
    // Fails the download at the current step.
    void Fail(const std::string& reason);

    // The time-out as the reports give it: "2 s".
    std::string TimeoutText() const;

    bool Finished() const { return Result.Done || !Result.FailingStep.empty(); }

private:
    class TSettingsConfiguration final : public ControllerLink::TConfiguration {
    public:
        explicit TSettingsConfiguration(const TDownloadSettings& settings) : Settings(settings) {}
        TBytes Sequence(std::uint8_t code) const override;
        int ParityIndex() const override { return Settings.ParityCode; }
        int BaudIndex() const override { return Settings.BaudCode; }

    private:
        const TDownloadSettings& Settings;
    };

    // Sends `frame` as the next step's first frame, or as its current
    // step's frame again (false when its retries are spent).
    bool _Send(TBytes frame, const std::string& why, std::vector<TBytes>& out);
    std::string _StepText() const; // "3/7 computer"
    std::string _Position() const; // with the port in front

    const TDownloadSettings& Settings;
    TPortResult& Result;
    const std::function<void(const std::string&)>& Log;
    TSettingsConfiguration Configuration;
    ControllerLink::TState State;
    int Step = 0;        // index of the step whose answer is awaited
    TBytes Frame;        // its frame, as last sent
    int Sends = 0;       // times its frame went out
    int Others = 0;      // packages in it that were not its answer
    bool Transferred = false;
    bool Disconnecting = false;
};

} // namespace ccdl
