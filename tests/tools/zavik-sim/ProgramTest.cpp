#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "support/FileBytes.h"
#include "support/TempDir.h"
#include "tools/zavik-sim/SimulatorFixture.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr std::chrono::milliseconds kPatience = PtyClient::kPatience;

// The program run with its standard output on a pipe; killed and reaped if still running at the
// end.
class ChildProcess {
  public:
    explicit ChildProcess(std::vector<std::string> arguments) {
        std::vector<char*> argv;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        int ends[2];
        EXPECT_EQ(pipe(ends), 0);
        if ((pid_ = fork()) == 0) {
            dup2(ends[1], STDOUT_FILENO);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(ends[1]);
        output_ = ends[0];
    }
    ~ChildProcess() {
        if (pid_ > 0 && kill(pid_, SIGKILL) == 0) {
            waitpid(pid_, nullptr, 0);
        }
        close(output_);
    }

    // The next line of its output; empty when none came in time.
    std::string ReadLine() {
        std::string line;
        for (pollfd watched{output_, POLLIN, 0}; poll(&watched, 1, kPatience.count()) > 0 &&
                                                 read(output_, &byte_, 1) == 1 && byte_ != '\n';) {
            line += byte_;
        }
        return line;
    }
    void Signal(int signal) const { kill(pid_, signal); }
    // Its exit status once it ended in time; none if it was still running or killed.
    std::optional<int> WaitForExit() {
        int status = 0;
        for (int tries = 0; tries < kPatience / 5ms; ++tries, std::this_thread::sleep_for(5ms)) {
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? std::optional<int>(WEXITSTATUS(status)) : std::nullopt;
            }
        }
        return std::nullopt;
    }

  private:
    pid_t pid_ = -1;
    int output_ = -1;
    char byte_ = 0;
};

class ZavikSimProgram : public testing::Test {
  protected:
    fs::path Ports() const { return dir_.Path() / "ports"; }
    fs::path Entry() const { return Ports() / "Zavik Driver Virtual Com Port (COM5)"; }

    std::vector<std::string> Arguments(const std::vector<std::string>& extra) const {
        std::vector<std::string> arguments{ZAVIK_SIM_PROGRAM, "--port", "5", "--port-dir",
                                           Ports().string()};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return arguments;
    }

    // The ready line, checked word for word against where the port really is.
    void ExpectReadyLine(ChildProcess& program) {
        const std::string line = program.ReadLine();
        ASSERT_TRUE(fs::is_symlink(Entry())) << line;
        EXPECT_EQ(line, "zavik-sim: Zavik Driver Virtual Com Port (COM5) at " +
                            fs::read_symlink(Entry()).string() + " (registered in " +
                            Ports().string() + ")");
    }

    TempDir dir_;
};

// A closed terminal (SIGHUP) too: the registration must not outlive the emulator.
TEST_F(ZavikSimProgram, StopsOnASignalCleaningUp) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        ChildProcess program(Arguments({}));
        ExpectReadyLine(program);
        EXPECT_EQ(ToHex(PtyClient(Entry()).Exchange(kFirmwareQuery)), ToHex(kFirmwareAnswer));
        program.Signal(signal);
        EXPECT_EQ(program.WaitForExit(), std::optional<int>(0)) << "signal " << signal;
        EXPECT_FALSE(fs::exists(fs::symlink_status(Entry())));
    }
}

// A registration is stale when the emulator that made it is gone, even if its link still leads
// to a tty (a later emulator may have been given the same one).
TEST_F(ZavikSimProgram, ReplacesTheRegistrationOfADeadEmulator) {
    const pid_t dead = fork();
    if (dead == 0) {
        _exit(0);
    }
    waitpid(dead, nullptr, 0);
    fs::create_directories(Ports());
    fs::create_symlink("/dev/null", Entry());
    WriteFileBytes(Ports() / ("." + Entry().filename().string() + ".pid"),
                   std::to_string(dead) + "\n");
    ChildProcess program(Arguments({}));
    ExpectReadyLine(program);
}

// Settings no connect could work with, or a state file that cannot be written, stop the start;
// either way nothing stays registered.
TEST_F(ZavikSimProgram, ExitStatusOfEachWayToEnd) {
    const std::string unwritable = (dir_.Path() / "none/state.txt").string();
    const std::vector<std::pair<std::vector<std::string>, int>> runs{
        {{"--exit-after-ms", "50"}, 0},
        {{"--firmware", ""}, 1},
        {{"--state-file", unwritable}, 1},
        {{"--fault", "sometimes"}, 2}};
    for (const auto& [extra, status] : runs) {
        ChildProcess program(Arguments(extra));
        EXPECT_EQ(program.WaitForExit(), std::optional<int>(status)) << extra[0];
        EXPECT_FALSE(fs::exists(fs::symlink_status(Entry()))) << extra[0];
    }
}

// --verbose prints each packet after the ready line.
TEST_F(ZavikSimProgram, HangupFaultEndsItWithStatus3) {
    ChildProcess program(Arguments({"--verbose", "--fault", "hangup:0x01"}));
    ExpectReadyLine(program);
    PtyClient client(Entry());
    ASSERT_TRUE(client.Write(kFirmwareQuery));
    EXPECT_TRUE(std::regex_match(program.ReadLine(),
                                 std::regex(R"(\[[0-9]+\.[0-9]{3} s\] -- client connected)")));
    EXPECT_TRUE(std::regex_match(
        program.ReadLine(), std::regex(R"(\[[0-9.]+ s\] #1 GetFirmwareVersion; rx [0-9A-F ]+; )"
                                       R"(tx none; faults hangup)")));
    EXPECT_EQ(program.WaitForExit(), std::optional<int>(3));
    EXPECT_FALSE(fs::exists(fs::symlink_status(Entry())));
}

}  // namespace
