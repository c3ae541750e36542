#pragma once
// One whole download on one port, as the window's exchange runs it, but
// with time-outs: connect request until code 2, the four sequences and the
// line settings each until their acknowledgement, disconnect request until
// code 3. Each frame goes out as one cptFrameTimeout package on an engine
// of the download's own, with the bytes the window would send.
//
// A step waits for its answer `TimeoutSeconds` from the moment its frame
// has left the port (the package layer's transmit-empty notification), and
// sends the frame again after a time-out; while it waits for code 2 or 3 it
// also sends it again after each other package, as the window does. Each
// step sends its frame again at most `Retries` times. A port that goes away
// (unplugged, hung up) fails at once, and is released at once.
//
// Threads: Run on any one thread; distinct objects on distinct threads at
// once. `Log` is called on the thread that runs Run.

#include <functional>
#include <string>

#include "EComm32Error.h"
#include "Settings.h"

namespace ccdl {

struct TPortResult {
    std::string Port;          // "COM5" or the device path it was given as
    bool Done = false;
    int FramesSent = 0;
    long long ElapsedMs = 0;   // from opening the port to closing it
    std::string FailingStep;   // empty when done
    std::string Message;       // the summary line, without the port name
};

// The steps of a download, in order.
constexpr int StepCount = 7;

// How a failure of the port reads: the engine's text in the process
// language, the system's reason and the hint, the pieces the window shows.
std::string PortFailureText(const OrvekComm32::EComm32Error& error);

// `port` is a port name "COMn" or a device path.
TPortResult RunDownload(const std::string& port, const TDownloadSettings& settings,
                        const std::function<void(const std::string& line)>& Log);

} // namespace ccdl
