#include "PortDownload.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <vector>

#include "ControllerFrame.h"
#include "ParseHexBytes.h"
#include "TComm32.h"
#include "TCommSerialPortInfo.h"
#include "Tcommpkg.h"

namespace ccdl {
namespace {

using namespace OrvekComm32;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

// The buffer the window reads packages with.
constexpr unsigned long PackageSize = 4096;

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

std::string Code(std::uint8_t code)
{
    char text[4];
    std::snprintf(text, sizeof text, "%02X", code);
    return text;
}

Bytes FrameOf(const TStep& step, const TDownloadSettings& settings)
{
    if (step.Code == ControllerFrame::LineSettings)
        return ControllerFrame::BuildLineSettings(settings.ParityCode, settings.BaudCode);
    if (step.Code >= ControllerFrame::OffSequence && step.Code <= ControllerFrame::VideoSequence) {
        const auto& text = settings.Sequences[step.Code - ControllerFrame::OffSequence];
        return ControllerFrame::Build(step.Code, ParseHexBytes(text, ControllerFrame::MaxData));
    }
    return ControllerFrame::Build(step.Code);
}

// What the package layer reports, for the download's thread to wait on.
class TSignals {
public:
    void Attach(TCommPackage& layer)
    {
        layer.OnPackage = [this](TObject*, int type) {
            std::lock_guard guard(Lock);
            Received = Received || (type & EV_RXCHAR);
            if ((type & EV_TXEMPTY) && !LeftAt)
                LeftAt = Clock::now();
            Lost = Lost || (type & EV_PORTLOST);
            Changed.notify_all();
        };
    }

    // The port went away: every wait ends at once from then on.
    bool PortLost()
    {
        std::lock_guard guard(Lock);
        return Lost;
    }

    void FrameSent()
    {
        std::lock_guard guard(Lock);
        LeftAt.reset();
    }

    // When the last frame sent has left the port; nothing after `deadline`.
    std::optional<Clock::time_point> WaitLeft(Clock::time_point deadline)
    {
        std::unique_lock guard(Lock);
        Changed.wait_until(guard, deadline, [this] { return LeftAt.has_value() || Lost; });
        return LeftAt;
    }

    // True when packages came before `deadline`; clears the mark.
    bool WaitReceived(Clock::time_point deadline)
    {
        std::unique_lock guard(Lock);
        const bool came = Changed.wait_until(guard, deadline, [this] { return Received || Lost; });
        Received = false;
        return came && !Lost;
    }

private:
    std::mutex Lock;
    std::condition_variable Changed;
    bool Received = false;
    bool Lost = false;
    std::optional<Clock::time_point> LeftAt;
};

class TRun {
public:
    TRun(const std::string& port, const TDownloadSettings& settings, const std::function<void(const std::string&)>& log)
        : Settings(settings), Log(log), Layer(&Engine)
    {
        Result.Port = port;
        if (const int number = TCommSerialPortInfo::PortNo(port); number > 0)
            Engine.UsePortNo(number);
        else
            Engine.UseDevicePath(port);
        Engine.DCB.BaudRate = settings.Line.Baud;
        Engine.DCB.Parity = settings.Line.Parity;
        Engine.DCB.fParity = settings.Line.Parity != 0;
        Engine.DCB.ByteSize = settings.Line.ByteSize;
        Engine.DCB.StopBits = settings.Line.StopBits;
        Layer.fSetPkgType(cptFrameTimeout);
        Layer.fSetPkgSz(PackageSize);
        Signals.Attach(Layer);
    }

    ~TRun() { Layer.OnPackage = nullptr; }

    TPortResult Run()
    {
        const auto start = Clock::now();
        bool open = false;
        try {
            Engine.Open();
            open = true;
        } catch (const EComm32Error& error) {
            _Fail(Steps[0], 0, PortFailureText(error));
        }
        if (open) {
            Layer.fSetActive(true);
            int done = 0;
            while (done < StepCount && _Step(Steps[done], done))
                ++done;
            Result.Done = done == StepCount;
            if (Result.Done)
                Result.Message = "done, " + std::to_string(Result.FramesSent) + " frames sent";
        }
        Layer.fSetActive(false);
        try {
            Engine.Close();
        } catch (const EComm32Error& error) {
            // The download's outcome stands; the port is left to the engine's destructor.
            Log(Result.Port + ": closing the port: " + PortFailureText(error));
        }
        Result.ElapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        Result.Message += " in " + std::to_string(Result.ElapsedMs) + " ms";
        return Result;
    }

private:
    // Runs one step; false, with the result filled in, when it failed.
    bool _Step(const TStep& step, int done)
    {
        const Bytes frame = FrameOf(step, Settings);
        const auto timeout = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(Settings.TimeoutSeconds));
        const std::string position = Result.Port + ": " + std::to_string(done) + "/" + std::to_string(StepCount) + " " +
                                     step.Name;
        const std::string waiting = ", waiting for " + Code(step.Code);
        int others = 0;
        std::string why;
        for (int sent = 0; sent <= Settings.Retries; ++sent) {
            Signals.FrameSent();
            Layer.WritePackage(frame.data(), frame.size());
            ++Result.FramesSent;
            Log(position + (sent == 0 ? " sent" : " sent again" + why) + waiting);
            const auto left = Signals.WaitLeft(Clock::now() + timeout);
            if (Signals.PortLost())
                return _FailLost(step, done);
            if (!left)
                return _Fail(step, done, "the frame did not leave the port within " + _Seconds());
            const auto deadline = *left + timeout;
            why = " (no answer within " + _Seconds() + ")";
            while (Signals.WaitReceived(deadline)) {
                const auto answer = _ReadAnswers(step.Code, others);
                if (answer == TAnswer::Expected)
                    return true;
                // The window asks for the link again after any other package.
                if (answer == TAnswer::Other &&
                    (step.Code == ControllerFrame::Connect || step.Code == ControllerFrame::Disconnect)) {
                    why = " (after a package that was not " + Code(step.Code) + ")";
                    break;
                }
            }
            if (Signals.PortLost())
                return _FailLost(step, done);
        }
        std::string reason = "no answer " + Code(step.Code) + " within " + _Seconds() + " after " +
                             std::to_string(Settings.Retries + 1) + " frames";
        if (others > 0)
            reason += "; " + std::to_string(others) + " other packages came";
        return _Fail(step, done, reason);
    }

    enum class TAnswer { None, Expected, Other };

    TAnswer _ReadAnswers(std::uint8_t expected, int& others)
    {
        TAnswer answer = TAnswer::None;
        std::uint8_t buffer[PackageSize];
        for (unsigned long n; (n = Layer.ReadPackage(buffer, sizeof buffer)) > 0;) {
            const auto code = ControllerFrame::ReceivedCode(std::span(buffer, n));
            if (code == expected)
                return TAnswer::Expected;
            ++others;
            answer = TAnswer::Other;
        }
        return answer;
    }

    bool _Fail(const TStep& step, int done, const std::string& reason)
    {
        Result.FailingStep = step.Name;
        Result.Message = "failed at " + std::to_string(done) + "/" + std::to_string(StepCount) + " " + step.Name + ": " +
                         reason;
        // Told when it happens too: the summary waits for the other ports.
        Log(Result.Port + ": " + Result.Message);
        return false;
    }

    // Answers that came before the loss were read already; the port is
    // closed by Run right after, which releases the device.
    bool _FailLost(const TStep& step, int done)
    {
        const auto loss = Engine.PortLoss();
        return _Fail(step, done, "the device went away: " + (loss ? PortFailureText(*loss) : std::string("hung up")));
    }

    std::string _Seconds() const
    {
        char text[32];
        std::snprintf(text, sizeof text, "%g s", Settings.TimeoutSeconds);
        return text;
    }

    const TDownloadSettings& Settings;
    const std::function<void(const std::string&)>& Log;
    TPortResult Result;
    TSignals Signals;
    TComm32 Engine;
    TCommPackage Layer; // after the engine: it unhooks from the engine first
};

} // namespace

std::string PortFailureText(const EComm32Error& error)
{
    std::string text = error.Message().c_str();
    if (!error.OsReason.empty())
        text += ": " + error.OsReason;
    if (error.Hint().Length() > 0)
        text += std::string(". ") + error.Hint().c_str();
    return text;
}

TPortResult RunDownload(const std::string& port, const TDownloadSettings& settings,
                        const std::function<void(const std::string& line)>& Log)
{
    try {
        return TRun(port, settings, Log).Run();
    } catch (const std::exception& error) { // the package layer's thread could not be started
        TPortResult result;
        result.Port = port;
        result.FailingStep = Steps[0].Name;
        result.Message = std::string("failed before the first step: ") + error.what();
        return result;
    }
}

} // namespace ccdl
