#pragma once
// The built programs (ccsim, ccdl) run as child processes: their standard
// output and standard error each read through a pipe of its own, drained
// while the test waits so that the child never blocks on a full pipe.

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace toolstest {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class Process {
public:
    Process(const std::string& path, std::vector<std::string> args)
    {
        int out[2], err[2];
        if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
        args.insert(args.begin(), path);
        std::vector<char*> argv;
        for (auto& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        const int error = posix_spawn(&Pid, path.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        close(err[1]);
        Fds[0] = out[0];
        Fds[1] = err[0];
        if (error != 0)
            throw std::runtime_error("cannot start " + path);
    }
    ~Process()
    {
        if (Pid > 0) {
            kill(Pid, SIGKILL);
            waitpid(Pid, nullptr, 0);
        }
        close(Fds[0]);
        close(Fds[1]);
    }

    // Reads until both outputs together hold `text` or `timeout` passed.
    bool WaitForOutput(const std::string& text, std::chrono::milliseconds timeout = 10s)
    {
        const auto deadline = Clock::now() + timeout;
        while (Output().find(text) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left <= 0ms || !_ReadSome(static_cast<int>(left.count())))
                return false;
        }
        return true;
    }

    void Signal(int signal) { kill(Pid, signal); }

    // The exit status; -1 when it did not exit normally within `timeout`.
    int WaitExit(std::chrono::milliseconds timeout = 20s)
    {
        const auto deadline = Clock::now() + timeout;
        int status = 0;
        while (waitpid(Pid, &status, WNOHANG) == 0) {
            if (Clock::now() >= deadline)
                return -1;
            _ReadSome(50);
        }
        Pid = -1;
        while (_ReadSome(0)) {
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    const std::string& Out() const { return Texts[0]; }
    const std::string& Err() const { return Texts[1]; }
    std::string Output() const { return Texts[0] + Texts[1]; }

private:
    bool _ReadSome(int timeoutMs)
    {
        pollfd fds[2] = {{Fds[0], POLLIN, 0}, {Fds[1], POLLIN, 0}};
        if (poll(fds, 2, timeoutMs) <= 0)
            return false;
        bool got = false;
        for (int i = 0; i < 2; ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP)))
                continue;
            char buffer[4096];
            const ssize_t count = read(Fds[i], buffer, sizeof buffer);
            if (count > 0) {
                Texts[i].append(buffer, static_cast<std::size_t>(count));
                got = true;
            }
        }
        return got;
    }

    pid_t Pid = -1;
    int Fds[2] = {-1, -1};
    std::string Texts[2];
};

} // namespace toolstest
