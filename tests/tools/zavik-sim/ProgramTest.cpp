#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/FileBytes.h"
#include "support/TempDir.h"
#include "tools/zavik-sim/ChildProcess.h"
#include "tools/zavik-sim/PtyClient.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr std::chrono::milliseconds kPatience = PtyClient::kPatience;
const Bytes kFirmwareQuery = HexBytes("02 01 01 00 01 03 00");

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
              "outputs 0x0081\nled 0 carried none pulse none\nled 1 carried none pulse none\n"
              "led 2 carried none pulse none\nupload none\nrunning none\n");
    EXPECT_EQ(ReadFileBytes(dir_.Path() / "packets.txt"),
              "#1 GetFirmwareVersion; rx 02 01 01 00 01 03 00; tx 02 02 05 00 01 00 00 50 31 03 "
              "66\n#2 SetLEDOutputs mask 0x0081; rx 02 01 03 00 0A 81 00 03 88; "
              "tx 02 02 02 00 0A 00 03 0B\n");
}

INSTANTIATE_TEST_SUITE_P(Signals, ZavikSimProgramStops, testing::Values(SIGINT, SIGTERM),
                         [](const testing::TestParamInfo<int>& info) {
                             return info.param == SIGINT ? "Interrupt" : "Terminate";
                         });

TEST_F(ZavikSimProgram, VerbosePrintsEachPacketAfterTheReadyLine) {
    ChildProcess program(Arguments({"--verbose"}));
    ExpectReadyLine(program);
    PtyClient client(Entry());
    client.Exchange(kFirmwareQuery);
    EXPECT_EQ(program.ReadLine(kPatience),
              "#1 GetFirmwareVersion; rx 02 01 01 00 01 03 00; "
              "tx 02 02 0E 00 01 00 00 5A 56 4B 2D 53 49 4D 20 31 2E 30 03 3E");
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
