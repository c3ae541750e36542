#pragma once
// A built program run as a child process, its outputs kept for the test.
// Not QProcess: with a child of QProcess alive, running Qt's event loop
// leaves ThreadSanitizer blind to the main thread's locks, so every engine
// the test drives would be reported racing.

#include <chrono>
#include <csignal>
#include <fstream>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "ModalAnswers.h"

extern char** environ;

namespace testsupport {

// A child process whose standard output and standard error each go to a
// memory file of their own, which never fills up and blocks the child.
class Process {
public:
    Process(const std::string& path, std::vector<std::string> args)
    {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, Files[0], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, Files[1], STDERR_FILENO);
        args.insert(args.begin(), path);
        std::vector<char*> argv;
        for (auto& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        const int error = posix_spawn(&Pid, path.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (error != 0)
            throw std::runtime_error("cannot start " + path);
    }
    Process(const Process&) = delete;
    ~Process()
    {
        if (Pid > 0) {
            kill(Pid, SIGKILL);
            waitpid(Pid, nullptr, 0);
        }
        for (int fd : Files)
            close(fd);
    }

    // Waits until both outputs together hold `text` or `timeout` passed.
    bool WaitForOutput(const std::string& text, std::chrono::milliseconds timeout = 10s)
    {
        return WaitUntil([&] { return Output().find(text) != std::string::npos; }, timeout);
    }

    void Signal(int signal) { kill(Pid, signal); }

    // The exit status; -1 when it did not exit normally within `timeout`.
    int WaitExit(std::chrono::milliseconds timeout = 20s)
    {
        int status = 0;
        if (!WaitUntil([&] { return waitpid(Pid, &status, WNOHANG) == Pid; }, timeout))
            return -1;
        Pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string Out() const { return Contents(Files[0]); }
    std::string Err() const { return Contents(Files[1]); }
    std::string Output() const { return Out() + Err(); }

private:
    // Read through a file of its own, from the start, whatever the child's offset.
    static std::string Contents(int fd)
    {
        std::ifstream file("/proc/self/fd/" + std::to_string(fd));
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }

    pid_t Pid = -1;
    const int Files[2] = {memfd_create("stdout", MFD_CLOEXEC), memfd_create("stderr", MFD_CLOEXEC)};
};

} // namespace testsupport
