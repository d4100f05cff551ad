#include "tools/zavik-sim/ChildProcess.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

extern char** environ;

ChildProcess::ChildProcess(const std::vector<std::string>& arguments) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    output_ = pipeEnds[0];
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (output_ >= 0) {
        close(output_);
    }
}

std::string ChildProcess::ReadLine(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const std::string::size_type lineEnd = buffered_.find('\n');
        if (lineEnd != std::string::npos) {
            const std::string line = buffered_.substr(0, lineEnd);
            buffered_.erase(0, lineEnd + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        pollfd watched{output_, POLLIN, 0};
        char chunk[256];
        ssize_t count = 0;
        if (left.count() <= 0 || poll(&watched, 1, static_cast<int>(left.count())) <= 0 ||
            (count = read(output_, chunk, sizeof(chunk))) <= 0) {
            return std::string();
        }
        buffered_.append(chunk, static_cast<std::size_t>(count));
    }
}

void ChildProcess::Signal(int signal) const {
    if (pid_ > 0) {
        kill(pid_, signal);
    }
}

std::optional<int> ChildProcess::WaitForExit(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (pid_ > 0) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            if (WIFEXITED(status)) {
                return WEXITSTATUS(status);
            }
            return std::nullopt;
        }
        if (std::chrono::steady_clock::now() >= end) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return std::nullopt;
}
