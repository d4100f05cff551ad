#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

// What a finished program left: its exit status (128 + N after signal N) and everything it
// wrote.
struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// A program run by a test with the test's environment plus the given variables. Its outputs go
// to unnamed files read when it has ended (standard output optionally to a pseudo-terminal, for
// output drawn only on terminals). Killed and reaped on destruction if it is still running.
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
    // Waits for the end; one still running when the limit has passed is killed (a safety net
    // against a hanging test, not a timing check, so it shows as exit code 137).
    CliResult Finish(std::chrono::milliseconds limit);

  private:
    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
};
