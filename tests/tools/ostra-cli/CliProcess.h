#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

// What a finished program left: its exit status (128 + N after signal N, -1 when it had to be
// killed) and everything it wrote.
struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// A program run by a test with its own environment variables, standard output and error
// captured through pipes. Killed and reaped on destruction if it is still running.
class CliProcess {
  public:
    // Where the program's standard output goes: a pipe, or a pseudo-terminal (for output that
    // is only drawn on terminals). Either way the test reads it.
    enum class Output { Pipe, Terminal };

    // The environment is the test's own with the given variables set.
    CliProcess(const std::string& program, const std::vector<std::string>& arguments,
               const std::map<std::string, std::string>& environment, Output output = Output::Pipe);
    ~CliProcess();
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    bool IsStarted() const { return pid_ > 0; }
    void Signal(int signal) const;
    // Reads both outputs to their end and reaps the program; one still running when the limit
    // has passed is killed (a safety net against a hanging test, not a timing check).
    CliResult Finish(std::chrono::milliseconds limit);

  private:
    void ReadOutputs(std::chrono::steady_clock::time_point deadline, CliResult& result);

    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
};
