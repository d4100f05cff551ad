#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

// What a finished program left: its exit status (128 + N after signal N) and its output.
struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// A program run with the test's environment plus the given variables; its outputs go to unnamed
// files (standard output optionally to a pseudo-terminal). Killed and reaped on destruction.
class CliProcess {
  public:
    enum class Output { File, Terminal };

    CliProcess(const std::string& program, const std::vector<std::string>& arguments,
               const std::map<std::string, std::string>& environment, Output output = Output::File);
    ~CliProcess();
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    bool IsStarted() const { return pid_ > 0; }
    void Signal(int signal) const;
    // Waits for the end; past the limit (a safety net, not a timing check) it kills: exit 137.
    CliResult Finish(std::chrono::milliseconds limit);

  private:
    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
};
