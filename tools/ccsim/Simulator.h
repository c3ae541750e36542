#pragma once
// The simulator's run: reads the tool's bytes from the pty, cuts them into
// frames, lets the controller answer (after the configured delay) and
// prints what passes the line, until a stop signal arrives.
//
// Answers wait in a queue with their due times rather than in a sleep, so
// a stop signal is seen at once even with a long --delay.
//
// Threads: one object, run on the thread that made it.

#include <chrono>
#include <cstdio>
#include <deque>

#include "Controller.h"
#include "FrameReader.h"
#include "Options.h"
#include "SimPty.h"

namespace ccsim {

class TSimulator {
public:
    // `stopFd` becomes readable when the simulator is to stop (a signalfd).
    TSimulator(const TSimOptions& options, TSimPty& pty, int stopFd, std::FILE* out);

    // Returns when `stopFd` turns readable, or throws std::runtime_error
    // when the pty fails.
    void Run();

private:
    using TClock = std::chrono::steady_clock;
    struct TPendingReply {
        TClock::time_point Due;
        Bytes Data;
    };

    int _PollTimeoutMs() const;
    void _ReadLine();
    void _Handle(const TStreamItem& item);
    void _DownloadComplete();
    void _SendDueReplies();
    void _WriteAll(const Bytes& bytes);
    void _ReportLineSpeed();

    const TSimOptions& Options;
    TSimPty& Pty;
    int StopFd;
    std::FILE* Out;
    TController Controller;
    TFrameReader Reader;
    std::deque<TPendingReply> Replies;
    TClock::time_point LastByte;
    int LineBaud = 0;
};

} // namespace ccsim
