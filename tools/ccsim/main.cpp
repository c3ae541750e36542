// ccsim: plays the controller of the configuration download on a
// pseudo-terminal registered as a COM name, so that the tool can be tried
// and tested without hardware.

#include <csignal>
#include <cstdio>
#include <stdexcept>
#include <sys/signalfd.h>
#include <unistd.h>

#include "Options.h"
#include "SimPty.h"
#include "Simulator.h"

namespace {

constexpr int ExitUsage = 2;
constexpr int ExitFailure = 1;

// SIGINT and SIGTERM arrive on a descriptor rather than in a handler, so
// the pty and its link are released by the ordinary destructors.
int StopSignalDescriptor()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    if (sigprocmask(SIG_BLOCK, &signals, nullptr) != 0)
        return -1;
    return signalfd(-1, &signals, SFD_CLOEXEC);
}

} // namespace

int main(int argc, char** argv)
{
    using namespace ccsim;
    const TParseResult parsed = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.Error.empty()) {
        std::fprintf(stderr, "ccsim: %s\nRun with --help for more information.\n", parsed.Error.c_str());
        return ExitUsage;
    }
    if (!parsed.Help.empty()) {
        std::fputs(parsed.Help.c_str(), stdout);
        return 0;
    }
    const TSimOptions& options = parsed.Options;
    // Tests and scripts read the log through a pipe while we run.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    const int stopFd = StopSignalDescriptor();
    if (stopFd < 0) {
        std::perror("ccsim: signal descriptor");
        return ExitFailure;
    }
    int status = 0;
    std::string link;
    try {
        TSimPty pty(options.ComNumber, options.Baud);
        std::printf("ccsim: %s is %s (link %s), %d baud\n", ComName(options.ComNumber).c_str(), pty.SlavePath().c_str(),
                    pty.LinkPath().c_str(), options.Baud);
        TSimulator simulator(options, pty, stopFd, stdout);
        link = pty.LinkPath();
        simulator.Run();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "ccsim: %s\n", error.what());
        status = ExitFailure;
    }
    close(stopFd);
    if (status == 0)
        std::printf("ccsim: stopped, %s removed\n", link.c_str());
    return status;
}
