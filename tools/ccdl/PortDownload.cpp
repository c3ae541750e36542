#include "PortDownload.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <vector>

#include "LinkDriver.h"
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

// What the package layer reports, for the download's thread to wait on.
class TSignals {
public:
    explicit TSignals(TClock& answerClock) : AnswerClock(answerClock) {}

    void Attach(TCommPackage& layer)
    {
        layer.OnPackage = [this](TObject*, int type) {
            std::lock_guard guard(Lock);
            Received = Received || (type & EV_RXCHAR);
            if ((type & EV_TXEMPTY) && !LeftAt)
                LeftAt = AnswerClock.Now();
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

    // When the last frame sent has left the port, on the answer clock;
    // nothing after `deadline`, in real time: how long the port takes is
    // the port's.
    std::optional<Clock::time_point> WaitLeft(Clock::time_point deadline)
    {
        std::unique_lock guard(Lock);
        Changed.wait_until(guard, deadline, [this] { return LeftAt.has_value() || Lost; });
        return LeftAt;
    }

    // True when packages came before `deadline` on the answer clock; clears
    // the mark.
    bool WaitReceived(Clock::time_point deadline)
    {
        std::unique_lock guard(Lock);
        while (!Received && !Lost && AnswerClock.Now() < deadline)
            AnswerClock.WaitUntil(guard, Changed, deadline);
        const bool came = Received && !Lost;
        Received = false;
        return came;
    }

private:
    TClock& AnswerClock;
    std::mutex Lock;
    std::condition_variable Changed;
    bool Received = false;
    bool Lost = false;
    std::optional<Clock::time_point> LeftAt;
};

class TRun {
public:
    TRun(const std::string& port, const TDownloadSettings& settings, const std::function<void(const std::string&)>& log,
         TClock& answerClock)
        : Settings(settings), Log(log), Driver(settings, Result, log), Signals(answerClock), Layer(&Engine)
    {
        Result.Port = port;
        if (const int number = TCommSerialPortInfo::PortNo(port); number > 0)
            Engine.UsePortNo(number);
        else
            Engine.UseDevicePath(port);
        Engine.DCB.BaudRate = settings.Line.Baud;
        Engine.DCB.Parity = settings.Line.Parity;
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
            Driver.Fail(PortFailureText(error));
        }
        if (open) {
            Layer.fSetActive(true);
            _Write(Driver.Start());
            while (!Driver.Finished())
                _AwaitAnswer();
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
    void _Write(const Bytes& frame)
    {
        Signals.FrameSent();
        Layer.WritePackage(frame.data(), frame.size());
    }

    // Waits for the last frame to leave and then for packages, each handed
    // to the driver, until it writes a frame, finishes, or the time is up.
    void _AwaitAnswer()
    {
        const auto timeout = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(Settings.TimeoutSeconds));
        const auto left = Signals.WaitLeft(Clock::now() + timeout);
        if (Signals.PortLost())
            return _FailLost();
        if (!left)
            return Driver.Fail("the frame did not leave the port within " + Driver.TimeoutText());
        while (Signals.WaitReceived(*left + timeout)) {
            bool wrote = false;
            std::uint8_t buffer[PackageSize];
            for (unsigned long n; !Driver.Finished() && (n = Layer.ReadPackage(buffer, sizeof buffer)) > 0;) {
                for (const Bytes& frame : Driver.Package(std::span(buffer, n))) {
                    _Write(frame);
                    wrote = true;
                }
            }
            if (wrote || Driver.Finished())
                return;
        }
        if (Signals.PortLost())
            return _FailLost();
        if (const auto frame = Driver.Timeout())
            _Write(*frame);
    }

    // Answers that came before the loss were read already; the port is
    // closed by Run right after, which releases the device.
    void _FailLost()
    {
        const auto loss = Engine.PortLoss();
        Driver.Fail("the device went away: " + (loss ? PortFailureText(*loss) : std::string("hung up")));
    }

    const TDownloadSettings& Settings;
    const std::function<void(const std::string&)>& Log;
    TPortResult Result;
    TLinkDriver Driver;
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
                        const std::function<void(const std::string& line)>& Log, TClock& answerClock)
{
    try {
        return TRun(port, settings, Log, answerClock).Run();
    } catch (const std::exception& error) { // the package layer's thread could not be started
        TPortResult result;
        result.Port = port;
        result.FailingStep = "connect request";
        result.Message = std::string("failed before the first step: ") + error.what();
        return result;
    }
}

} // namespace ccdl
