#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

// A program run by a test, its standard output readable through a pipe. Killed and reaped on
// destruction if it is still running.
class ChildProcess {
  public:
    explicit ChildProcess(const std::vector<std::string>& arguments);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool IsStarted() const { return pid_ > 0; }
    // The next line of its output without the line break; empty when none came in time.
    std::string ReadLine(std::chrono::milliseconds limit);
    void Signal(int signal) const;
    // Its exit status once it ended within the limit; none if it was still running or killed.
    std::optional<int> WaitForExit(std::chrono::milliseconds limit);

  private:
    pid_t pid_ = -1;
    int output_ = -1;
    std::string buffered_;
};
