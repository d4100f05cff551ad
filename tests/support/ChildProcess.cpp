#include "support/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

std::string ReadAll(int fd) {
    std::string text;
    char buffer[4096];
    lseek(fd, 0, SEEK_SET);
    // A pseudo-terminal whose program has gone reports EIO instead of an end.
    for (ssize_t count; (count = read(fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(count));
    return text;
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const std::map<std::string, std::string>& environment, Output output) {
    // env sets the variables, then becomes the program.
    std::vector<std::string> words{"/usr/bin/env"};
    for (const auto& [name, value] : environment)
        words.push_back(name + "=" + value);
    words.push_back(program);
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (output == Output::Terminal) {
        out_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (out_ >= 0 && grantpt(out_) == 0 && unlockpt(out_) == 0)
            posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, ptsname(out_), O_RDWR, 0);
    } else {
        out_ = memfd_create("out", MFD_CLOEXEC);
        posix_spawn_file_actions_adddup2(&actions, out_, STDOUT_FILENO);
    }
    err_ = memfd_create("err", MFD_CLOEXEC);
    posix_spawn_file_actions_adddup2(&actions, err_, STDERR_FILENO);
    // No signal blocked, SIGINT and SIGTERM at their defaults, whatever the runner inherited.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    if (out_ < 0 || err_ < 0 ||
        posix_spawn(&pid_, argv[0], &actions, &attributes, argv.data(), environ) != 0) {
        pid_ = -1;
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
}

ChildProcess::~ChildProcess() {
    Signal(SIGKILL);
    Finish(std::chrono::milliseconds(0));
    close(out_);
    close(err_);
}

void ChildProcess::Signal(int signal) const {
    if (pid_ > 0)
        kill(pid_, signal);
}

std::string ChildProcess::ReadLine(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::string line;
    for (char byte = 0; std::chrono::steady_clock::now() < deadline;) {
        if (pread(out_, &byte, 1, lineStart_ + static_cast<off_t>(line.size())) != 1) {
            usleep(1000);
        } else if (byte == '\n') {
            lineStart_ += static_cast<off_t>(line.size()) + 1;
            break;
        } else {
            line += byte;
        }
    }
    return line;
}

ProcessResult ChildProcess::Finish(std::chrono::milliseconds limit) {
    ProcessResult result;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (pid_ > 0 && waitpid(pid_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline)
            kill(pid_, SIGKILL);
        usleep(1000);
    }
    if (pid_ <= 0)
        return result;
    pid_ = -1;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    fcntl(out_, F_SETFL, O_NONBLOCK);
    result.out = ReadAll(out_);
    result.err = ReadAll(err_);
    return result;
}
