#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "support/FileBytes.h"
#include "support/TempDir.h"
#include "tools/zavik-sim/ChildProcess.h"
#include "tools/zavik-sim/PtyClient.h"
#include "tools/zavik-sim/SimulatorFixture.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr std::chrono::milliseconds kPatience = PtyClient::kPatience;

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
        const std::string line = program.ReadLine(kPatience);
        ASSERT_TRUE(fs::is_symlink(Entry())) << line;
        EXPECT_EQ(line, "zavik-sim: Zavik Driver Virtual Com Port (COM5) at " +
                            fs::read_symlink(Entry()).string() + " (registered in " +
                            Ports().string() + ")");
    }

    TempDir dir_;
};

class ZavikSimProgramStops : public ZavikSimProgram, public testing::WithParamInterface<int> {};

TEST_P(ZavikSimProgramStops, OnTheSignalCleaningUp) {
    ChildProcess program(
        Arguments({"--state-file", (dir_.Path() / "state.txt").string(), "--packet-log",
                   (dir_.Path() / "packets.txt").string(), "--firmware", "P1"}));
    ASSERT_TRUE(program.IsStarted());
    ExpectReadyLine(program);
    {
        PtyClient client(Entry());
        EXPECT_EQ(ToHex(client.Exchange(kFirmwareQuery)), "02 02 05 00 01 00 00 50 31 03 66");
        EXPECT_EQ(ToHex(client.Exchange(HexBytes("02 01 03 00 0A 81 00 03 88"))),
                  "02 02 02 00 0A 00 03 0B");
    }
    program.Signal(GetParam());

    EXPECT_EQ(program.WaitForExit(kPatience), std::optional<int>(0));
    EXPECT_FALSE(fs::exists(fs::symlink_status(Entry())));
    EXPECT_EQ(ReadFileBytes(dir_.Path() / "state.txt"),
              "outputs 0x0081 (Blue on, Green off, Red off)\nttl 0x00 (TTL 3 low, TTL 4 low, TTL 5 "
              "low, TTL 6 low)\nled 0 carried none pulse none\nled 1 carried none pulse none\n"
              "led 2 carried none pulse none\nupload none\nrunning none\n");
    EXPECT_EQ(PacketLines(ReadFileBytes(dir_.Path() / "packets.txt")),
              "#1 GetFirmwareVersion; rx 02 01 01 00 01 03 00; tx 02 02 05 00 01 00 00 50 31 03 "
              "66\n#2 SetLEDOutputs mask 0x0081; rx 02 01 03 00 0A 81 00 03 88; "
              "tx 02 02 02 00 0A 00 03 0B\n");
}

// A closed terminal (SIGHUP) too: the registration must not outlive the emulator.
INSTANTIATE_TEST_SUITE_P(Signals, ZavikSimProgramStops, testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const testing::TestParamInfo<int>& info) {
                             return info.param == SIGINT    ? "Interrupt"
                                    : info.param == SIGTERM ? "Terminate"
                                                            : "Hangup";
                         });

TEST_F(ZavikSimProgram, VerbosePrintsEachPacketAfterTheReadyLine) {
    ChildProcess program(Arguments({"--verbose"}));
    ExpectReadyLine(program);
    PtyClient client(Entry());
    client.Exchange(kFirmwareQuery);
    EXPECT_TRUE(std::regex_match(program.ReadLine(kPatience),
                                 std::regex(R"(\[[0-9]+\.[0-9]{3} s\] -- client connected)")));
    EXPECT_TRUE(std::regex_match(program.ReadLine(kPatience),
                                 std::regex(R"(\[[0-9]+\.[0-9]{3} s\] #1 GetFirmwareVersion; rx )"
                                            R"(02 01 01 00 01 03 00; tx 02 02 0E 00 01 00 00 5A )"
                                            R"(56 4B 2D 53 49 4D 20 31 2E 30 03 3E)")));
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

// Settings no connect could work with, and a state file that cannot be written, stop the start.
TEST_F(ZavikSimProgram, RefusesToStartOnUnusableSettings) {
    for (const std::vector<std::string>& extra :
         {std::vector<std::string>{"--firmware", ""},
          std::vector<std::string>{"--state-file", (dir_.Path() / "none/state.txt").string()}}) {
        ChildProcess program(Arguments(extra));
        EXPECT_EQ(program.WaitForExit(kPatience), std::optional<int>(1)) << extra[0];
        EXPECT_FALSE(fs::exists(fs::symlink_status(Entry()))) << extra[0];
    }
}

TEST_F(ZavikSimProgram, HangupFaultEndsItWithStatus3) {
    ChildProcess program(Arguments({"--fault", "hangup:0x01"}));
    ExpectReadyLine(program);
    PtyClient client(Entry());
    ASSERT_TRUE(client.Write(kFirmwareQuery));
    EXPECT_EQ(program.WaitForExit(kPatience), std::optional<int>(3));
    EXPECT_FALSE(fs::exists(fs::symlink_status(Entry())));
}

TEST_F(ZavikSimProgram, ExitsByItselfWhenAsked) {
    ChildProcess program(Arguments({"--exit-after-ms", "50"}));
    EXPECT_EQ(program.WaitForExit(kPatience), std::optional<int>(0));
    EXPECT_FALSE(fs::exists(fs::symlink_status(Entry())));
}

TEST_F(ZavikSimProgram, CannotStartOnAPortInUse) {
    ChildProcess first(Arguments({}));
    ExpectReadyLine(first);
    ChildProcess second(Arguments({}));
    EXPECT_EQ(second.WaitForExit(kPatience), std::optional<int>(1));
    EXPECT_TRUE(fs::is_symlink(Entry()));
}

TEST_F(ZavikSimProgram, WrongOptionsEndItWithStatus2) {
    ChildProcess program(Arguments({"--fault", "sometimes"}));
    EXPECT_EQ(program.WaitForExit(kPatience), std::optional<int>(2));
    EXPECT_FALSE(fs::exists(Ports()));
}

}  // namespace
