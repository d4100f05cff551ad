#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

// What a finished program left: its exit status (128 + N after signal N) and its output.
struct ProcessResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// A program run with the test's environment plus the given variables; its outputs go to unnamed
// files (standard output optionally to a pseudo-terminal). Killed and reaped on destruction.
class ChildProcess {
  public:
    enum class Output { File, Terminal };

    ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                 const std::map<std::string, std::string>& environment,
                 Output output = Output::File);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool IsStarted() const { return pid_ > 0; }
    void Signal(int signal) const;
    // The next line of standard output (to a file) as the program writes it; the text so far
    // when no line ends within the limit.
    std::string ReadLine(std::chrono::milliseconds limit);
    // Waits for the end; past the limit (a safety net, not a timing check) it kills: exit 137.
    ProcessResult Finish(std::chrono::milliseconds limit);

  private:
    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    off_t lineStart_ = 0;
};
