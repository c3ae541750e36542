#pragma once
// A built program run as a child process, its outputs gathered while the
// test waits on it. Needs the Qt tests' main, whose event loop reads the
// outputs as they come, so that a chatty child never blocks on a full pipe.

#include <csignal>
#include <stdexcept>
#include <string>
#include <vector>

#include <QProcess>

#include "ModalAnswers.h"

namespace testsupport {

class Process {
public:
    Process(const std::string& path, const std::vector<std::string>& args)
    {
        QStringList arguments;
        for (const std::string& arg : args)
            arguments << QString::fromStdString(arg);
        Child.start(QString::fromStdString(path), arguments);
        if (!Child.waitForStarted())
            throw std::runtime_error("cannot start " + path);
    }
    ~Process()
    {
        Child.kill();
        Child.waitForFinished();
    }

    // Waits until both outputs together hold `text` or `timeout` passed.
    bool WaitForOutput(const std::string& text, std::chrono::milliseconds timeout = 10s)
    {
        return WaitUntil([&] { return Output().find(text) != std::string::npos; }, timeout);
    }

    void Signal(int signal) { ::kill(static_cast<pid_t>(Child.processId()), signal); }

    // The exit status; -1 when it did not exit normally within `timeout`.
    int WaitExit(std::chrono::milliseconds timeout = 20s)
    {
        if (!WaitUntil([&] { return Child.state() == QProcess::NotRunning; }, timeout))
            return -1;
        return Child.exitStatus() == QProcess::NormalExit ? Child.exitCode() : -1;
    }

    std::string Out() { return Gathered(QProcess::StandardOutput); }
    std::string Err() { return Gathered(QProcess::StandardError); }
    std::string Output() { return Out() + Err(); }

private:
    std::string Gathered(QProcess::ProcessChannel channel)
    {
        Child.setReadChannel(channel);
        Texts[channel] += Child.readAll().toStdString();
        return Texts[channel];
    }

    QProcess Child;
    std::string Texts[2];
};

} // namespace testsupport
