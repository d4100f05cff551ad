#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"
#include "tools/zavik-sim/SimulatorFixture.h"
#include "zavik-sim/SimulatorCommandLine.h"

namespace {

namespace fs = std::filesystem;
constexpr std::chrono::milliseconds kPatience = PtyClient::kPatience;

class ZavikSimProgram : public testing::Test {
  protected:
    fs::path Ports() const { return dir_.Path() / "ports"; }
    fs::path Entry() const { return Ports() / "Zavik Driver Virtual Com Port (COM5)"; }

    std::unique_ptr<ChildProcess> Start(const std::vector<std::string>& extra) const {
        std::vector<std::string> arguments{"--port", "5", "--port-dir", Ports().string()};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return std::make_unique<ChildProcess>(ZAVIK_SIM_PROGRAM, arguments,
                                              std::map<std::string, std::string>{});
    }
    static int ExitCode(ChildProcess& program) { return program.Finish(kPatience).exitCode; }

    // The ready line, checked word for word against where the port really is.
    void ExpectReadyLine(ChildProcess& program) {
        const std::string line = program.ReadLine(kPatience);
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
        const auto program = Start({});
        ExpectReadyLine(*program);
        EXPECT_EQ(ToHex(PtyClient(Entry()).Exchange(kFirmwareQuery)), ToHex(kFirmwareAnswer));
        program->Signal(signal);
        EXPECT_EQ(ExitCode(*program), 0) << "signal " << signal;
        EXPECT_FALSE(fs::exists(fs::symlink_status(Entry())));
    }
}

// A registration is stale when the emulator that made it is gone, even if its link still leads
// to a tty (a later emulator may have been given the same one).
TEST_F(ZavikSimProgram, ReplacesTheRegistrationOfADeadEmulator) {
    const pid_t dead = fork();
    if (dead == 0)
        _exit(0);
    waitpid(dead, nullptr, 0);
    fs::create_directories(Ports());
    fs::create_symlink("/dev/null", Entry());
    WriteFileBytes(Ports() / ("." + Entry().filename().native()).append(".pid"),
                   std::to_string(dead) + "\n");
    ExpectReadyLine(*Start({}));
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
        EXPECT_EQ(ExitCode(*Start(extra)), status) << extra[0];
        EXPECT_FALSE(fs::exists(fs::symlink_status(Entry()))) << extra[0];
    }
}

// --verbose prints each packet after the ready line.
TEST_F(ZavikSimProgram, HangupFaultEndsItWithStatus3) {
    const auto program = Start({"--verbose", "--fault", "hangup:0x01"});
    ExpectReadyLine(*program);
    PtyClient client(Entry());
    ASSERT_TRUE(client.Write(kFirmwareQuery));
    EXPECT_TRUE(std::regex_match(program->ReadLine(kPatience),
                                 std::regex(R"(\[[0-9]+\.[0-9]{3} s\] -- client connected)")));
    EXPECT_TRUE(
        std::regex_match(program->ReadLine(kPatience),
                         std::regex(R"(\[[0-9.]+ s\] #1 GetFirmwareVersion; rx [0-9A-F ]+; )"
                                    R"(tx none; faults hangup)")));
    EXPECT_EQ(ExitCode(*program), 3);
    EXPECT_FALSE(fs::exists(fs::symlink_status(Entry())));
}

struct Parsed {
    int result = 0;
    int exitCode = -99;
    ProgramOptions options;
    std::string out;
    std::string err;
};

// The words of line, split at spaces, after the program name.
Parsed ParseLine(const std::string& line) {
    std::istringstream words("zavik-sim " + line);
    const std::vector<std::string> kept{std::istream_iterator<std::string>(words), {}};
    std::vector<const char*> arguments;
    for (const std::string& word : kept)
        arguments.push_back(word.c_str());
    Parsed parsed;
    std::ostringstream out, err;
    parsed.result =
        SimulatorCommandLine::Parse(static_cast<int>(arguments.size()), arguments.data(),
                                    parsed.options, parsed.exitCode, out, err);
    parsed.out = out.str();
    parsed.err = err.str();
    return parsed;
}

// One option of each kind: a number, a text, a flag.  The rest are run by ProgramTest.
TEST(SimulatorCommandLine, OptionsReachTheConfiguration) {
    const Parsed parsed = ParseLine("--port 12 --firmware FW-2.5 --pace");
    ASSERT_EQ(parsed.result, 0) << parsed.err;
    EXPECT_EQ(parsed.options.simulator.portNumber, 12);
    EXPECT_EQ(parsed.options.simulator.firmwareVersion, L"FW-2.5");
    EXPECT_TRUE(parsed.options.simulator.pace);
}

// A wrong line ends with exit status 2, explained; the statuses scripts rely on are documented
// where the user looks.
TEST(SimulatorCommandLine, HelpOrARefusedLineEndsTheProgramWithItsStatus) {
    const struct {
        std::string line;
        int exitCode;
        std::string said;  // on standard output for help, else on standard error
    } rows[] = {{"--help", 0,
                 "Exit status: 0 after a signal or --exit-after-ms, 1 when it cannot start, 2 for "
                 "wrong options, 3 after a hangup fault."},
                {"--port 0", 2, "--port"},
                {"--no-such-option", 2, "--no-such-option"}};
    for (const auto& row : rows) {
        const Parsed parsed = ParseLine(row.line);
        EXPECT_EQ(parsed.result, -1) << row.line;
        EXPECT_EQ(parsed.exitCode, row.exitCode) << row.line;
        const std::string& said = row.exitCode == 0 ? parsed.out : parsed.err;
        EXPECT_NE(said.find(row.said), std::string::npos) << said;
    }
}

}  // namespace
