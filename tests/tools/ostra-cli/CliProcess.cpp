#include "tools/ostra-cli/CliProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

// The side the test reads of a new pseudo-terminal; the program's side is opened by name.
int OpenTerminal(std::string& programSide) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0) {
        programSide = ptsname(master);
    }
    return master;
}

std::string ReadAll(int fd) {
    std::string text;
    char buffer[4096];
    lseek(fd, 0, SEEK_SET);
    // A pseudo-terminal whose program has gone reports EIO instead of an end.
    for (ssize_t count; (count = read(fd, buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(count));
    }
    return text;
}

}  // namespace

CliProcess::CliProcess(const std::string& program, const std::vector<std::string>& arguments,
                       const std::map<std::string, std::string>& environment, Output output) {
    std::string terminal;
    out_ = output == Output::Terminal ? OpenTerminal(terminal) : memfd_create("out", MFD_CLOEXEC);
    err_ = memfd_create("err", MFD_CLOEXEC);
    std::vector<std::string> argumentTexts{program};
    argumentTexts.insert(argumentTexts.end(), arguments.begin(), arguments.end());
    std::vector<std::string> environmentTexts;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        if (!environment.contains(text.substr(0, text.find('=')))) {
            environmentTexts.push_back(text);
        }
    }
    for (const auto& [name, value] : environment) {
        environmentTexts.push_back(name + "=" + value);
    }
    std::vector<char*> argv = Pointers(argumentTexts);
    std::vector<char*> envp = Pointers(environmentTexts);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (terminal.empty()) {
        posix_spawn_file_actions_adddup2(&actions, out_, STDOUT_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, terminal.c_str(),
                                         O_RDWR | O_NOCTTY, 0);
    }
    posix_spawn_file_actions_adddup2(&actions, err_, STDERR_FILENO);
    // The program starts with no signal blocked and SIGINT and SIGTERM at their defaults,
    // whatever the test runner inherited.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    if (out_ >= 0 && err_ >= 0 &&
        posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), envp.data()) == 0) {
        pid_ = pid;
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
}

CliProcess::~CliProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    for (const int fd : {out_, err_}) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

void CliProcess::Signal(int signal) const {
    if (pid_ > 0) {
        kill(pid_, signal);
    }
}

CliResult CliProcess::Finish(std::chrono::milliseconds limit) {
    CliResult result;
    if (pid_ <= 0) {
        return result;
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    pid_t reaped = 0;
    while ((reaped = waitpid(pid_, &status, WNOHANG)) == 0 &&
           std::chrono::steady_clock::now() < deadline) {
        usleep(1000);
    }
    if (reaped != pid_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
    } else if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.exitCode = 128 + WTERMSIG(status);
    }
    pid_ = -1;
    fcntl(out_, F_SETFL, O_NONBLOCK);
    result.out = ReadAll(out_);
    result.err = ReadAll(err_);
    return result;
}
