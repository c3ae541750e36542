#include "Simulator.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>

#include "Configuration.h"
#include "FrameText.h"
#include "SystemFailure.h"

namespace ccsim {
namespace {

// A frame cut short is given up after the line has been quiet this long;
// the tool writes each frame as one package, so its bytes come together.
constexpr auto PartialFrameTimeout = std::chrono::milliseconds(200);
constexpr int WriteStallMs = 2000;

} // namespace

TSimulator::TSimulator(const TSimOptions& options, TSimPty& pty, int stopFd, std::FILE* out)
    : Options(options),
      Pty(pty),
      StopFd(stopFd),
      Out(out),
      Controller(TFaults {options.Silent, options.Garbage, options.DropAfter}),
      LineBaud(pty.CurrentBaud())
{
}

void TSimulator::Run()
{
    for (;;) {
        pollfd fds[2] = {{StopFd, POLLIN, 0}, {Pty.MasterFd(), POLLIN, 0}};
        const int ready = poll(fds, 2, _PollTimeoutMs());
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            Fail("poll");
        }
        if (fds[0].revents & POLLIN)
            return;
        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR))
            _ReadLine();
        if (Reader.HasPartial() && TClock::now() - LastByte >= PartialFrameTimeout) {
            const Bytes dropped = Reader.DropPartial();
            std::fprintf(Out, "<- %s  incomplete frame, dropped\n", FrameText(dropped).c_str());
        }
        _SendDueReplies();
    }
}

int TSimulator::_PollTimeoutMs() const
{
    auto next = TClock::time_point::max();
    if (!Replies.empty())
        next = Replies.front().Due;
    if (Reader.HasPartial())
        next = std::min(next, LastByte + PartialFrameTimeout);
    if (next == TClock::time_point::max())
        return -1;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - TClock::now()).count();
    return static_cast<int>(std::clamp<long long>(wait, 0, 60000));
}

void TSimulator::_ReadLine()
{
    std::uint8_t buffer[4096];
    const ssize_t count = read(Pty.MasterFd(), buffer, sizeof buffer);
    if (count < 0) {
        // EIO comes when no slave is open; ours stays open, so it is brief.
        if (errno == EAGAIN || errno == EINTR || errno == EIO)
            return;
        Fail("read from the pty");
    }
    LastByte = TClock::now();
    _ReportLineSpeed();
    std::vector<TStreamItem> items;
    Reader.Feed(std::span(buffer, static_cast<std::size_t>(count)), items);
    for (const auto& item : items)
        _Handle(item);
}

void TSimulator::_Handle(const TStreamItem& item)
{
    if (item.Kind == TStreamItem::Garbage) {
        std::fprintf(Out, "<- %s  not a frame, ignored\n", FrameText(item.Data).c_str());
        return;
    }
    const TResponse response = Controller.Receive(item.Data);
    std::fprintf(Out, "<- %s  %s\n", FrameText(item.Data).c_str(), response.Meaning.c_str());
    if (response.Reply.empty()) {
        std::fprintf(Out, "   %s\n", response.ReplyMeaning.c_str());
    } else {
        const auto due = TClock::now() + std::chrono::milliseconds(Options.DelayMs);
        Replies.push_back({due, response.Reply});
        std::fprintf(Out, "-> %s  %s%s\n", FrameText(response.Reply).c_str(), response.ReplyMeaning.c_str(),
                     Options.DelayMs > 0 ? (" in " + std::to_string(Options.DelayMs) + " ms").c_str() : "");
    }
    if (response.DownloadComplete)
        _DownloadComplete();
    std::fflush(Out);
}

void TSimulator::_DownloadComplete()
{
    std::fputs(ReadableText(Controller.Configuration()).c_str(), Out);
    if (Options.DumpPath.empty())
        return;
    const auto error = WriteFileWhole(Options.DumpPath, JsonText(Controller.Configuration(), ComName(Options.ComNumber)));
    if (error)
        std::fprintf(stderr, "ccsim: %s\n", error->c_str());
    else
        std::fprintf(Out, "configuration written to %s\n", Options.DumpPath.c_str());
}

void TSimulator::_SendDueReplies()
{
    const auto now = TClock::now();
    while (!Replies.empty() && Replies.front().Due <= now) {
        _WriteAll(Replies.front().Data);
        Replies.pop_front();
    }
}

void TSimulator::_WriteAll(const Bytes& bytes)
{
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = write(Pty.MasterFd(), bytes.data() + written, bytes.size() - written);
        if (count > 0) {
            written += static_cast<std::size_t>(count);
            continue;
        }
        if (count < 0 && errno != EAGAIN && errno != EINTR)
            Fail("write to the pty");
        // The tool is not reading: wait a while for room, then give the
        // answer up rather than stall the whole simulator.
        pollfd fd {Pty.MasterFd(), POLLOUT, 0};
        if (poll(&fd, 1, WriteStallMs) == 0) {
            std::fprintf(Out, "   line full, answer dropped\n");
            return;
        }
    }
}

void TSimulator::_ReportLineSpeed()
{
    const int baud = Pty.CurrentBaud();
    if (baud == LineBaud)
        return;
    LineBaud = baud;
    std::fprintf(Out, "line speed now %d\n", baud);
}

} // namespace ccsim
