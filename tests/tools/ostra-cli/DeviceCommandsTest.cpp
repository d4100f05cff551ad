#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "support/FaultRules.h"
#include "support/FileBytes.h"
#include "tools/ostra-cli/CliFixture.h"

namespace {

using Arguments = std::vector<std::string>;

TEST_F(CliFixture, ConnectReportsPortAndFirmwareAndSendsEveryIntensity) {
    driver_.Config().portNumber = 7;
    driver_.Config().firmwareVersion = L"ZVK 2.4";
    StartSimulator();
    const ProcessResult result = RunOk({"connect"});
    EXPECT_EQ(result.out, "Connected to the Zavik Driver on COM7 (" +
                              (PortDirectory() / "Zavik Driver Virtual Com Port (COM7)").string() +
                              ").\nFirmware version: ZVK 2.4\n"
                              "Intensities sent: Blue 26, Green 26, Red 26\n");
    // Discovery found port 7 (the setup file says 4).
    EXPECT_EQ(ToHex(ReceivedPayloads()), AfterConnect({}));

    nlohmann::ordered_json json = RunJson({"connect"});
    EXPECT_EQ(Keys(json),
              (std::vector<std::string>{"command", "port", "portName", "firmware", "intensities",
                                        "ok", "exitCode", "errors", "dataDirectory", "logFile"}));
    EXPECT_EQ(json["intensities"][2],
              nlohmann::ordered_json::parse(R"({"label": "Red", "intensity": 26})"));
}

// Mask 0x0080 plus the LEDs on (Blue bit 0, Red 1, Green 2); an invocation changes only the LEDs
// it names, keeping the earlier ones'. Widths in 0.1 ms steps. A refused line connects nowhere.
TEST_F(CliFixture, LedCommandsSendExactlyTheDeviceModelsCommands) {
    StartSimulator();
    for (const auto& [arguments, exitCode, payloads] :
         std::vector<std::tuple<Arguments, int, std::vector<std::string>>>{
             {{"led", "pulse-start", "Red", "--on", "0.5", "--off", "1800000", "--loops", "3"},
              0,
              {"1E 01 05 00 00 00 00 00 00 00 80 A8 12 01 00 00 00 00 03 00 00 00"}},
             {{"led", "pulse-stop", "Green"},
              0,
              {"1E 02 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00", "0A 80 00"}},
             {{"led", "on", "Blue", "red"}, 0, {"0A 81 00", "0A 83 00"}},
             {{"led", "off"}, 0, {"0A 82 00", "0A 82 00", "0A 80 00"}},
             {{"led", "on", "Blue", "Purple"}, 3, {}},
             {{"stop"}, 0, {"19", "0A 80 00", "0A 80 00", "0A 80 00"}}}) {
        driver_.MarkHandled();
        const ProcessResult result = Run(arguments);
        EXPECT_EQ(result.exitCode, exitCode) << result.err;
        EXPECT_EQ(ToHex(ReceivedPayloads()),
                  exitCode == 0 ? AfterConnect(payloads) : std::vector<std::string>{})
            << arguments[1];
        if (arguments[0] == "stop") {
            EXPECT_EQ(result.out,
                      "Sequence execution stopped; every LED is off (outputs 0x0080).\n");
        }
    }
}

TEST_F(CliFixture, AnIntensityIsSentAndShown) {
    StartSimulator();
    const ProcessResult result = RunOk({"led", "intensity", "Green", "200"});
    EXPECT_EQ(ToHex(ReceivedPayloads()), CanonicalHex({"01", "0B 00 E5", "0B 02 37", "0B 01 E5"}));
    EXPECT_EQ(result.out,
              "Outputs 0x0080: Blue off (intensity 26), Green off (intensity 200), "
              "Red off (intensity 26)\n");
}

// SIGTERM ends a connect's wait (300 s) for a silent device at once, with exit code 5.
TEST_F(CliFixture, ASignalEndsAWaitForTheDevice) {
    WriteSettings("-AddSequence 0 \"Short\"\n-AddSequenceCommandSet 0 0\n");
    driver_.Config().faults = {SilentFault(0x01, 1)};
    StartSimulator();
    const std::unique_ptr<ChildProcess> process = Start({"run", "0"});
    ASSERT_TRUE(driver_->WaitForPackets(1, kPatience));
    const auto signalled = std::chrono::steady_clock::now();
    process->Signal(SIGTERM);
    const ProcessResult result = process->Finish(std::chrono::seconds(10));
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(3));
    EXPECT_EQ(result.exitCode, 5) << result.err;
    EXPECT_EQ(ToHex(ReceivedPayloads()), std::vector<std::string>{"01"});
}

// Connecting opens the entry discovery found, not another of the same number nor a dangling one.
TEST_F(CliFixture, ConnectOpensTheEntryDiscoveryFound) {
    WriteFileBytes(File("plain"), "");
    namespace fs = std::filesystem;
    fs::create_symlink(File("plain"), PortDirectory() / "Another device (COM4)");
    fs::create_symlink(File("gone"), PortDirectory() / "Zavik Driver Virtual Com Port (COM5)");
    EXPECT_THAT(Run({"ports"}).out,
                EndsWith("  (skipped: points at nothing)\nNo Zavik Driver found: "
                         "connecting uses the port number of the setup and settings files.\n"));
    StartSimulator();
    const ProcessResult result = RunOk({"connect"});
    const auto entry = [this](const std::string& name) {
        return name + "  " + (PortDirectory() / name).string();
    };
    const std::string driver = "Zavik Driver Virtual Com Port (COM4)";
    EXPECT_THAT(result.out, HasSubstr("Connected to the Zavik Driver on COM4 (" +
                                      (PortDirectory() / driver).string() + ").\n"));
    EXPECT_EQ(Run({"ports"}).out, entry("Another device (COM4)") + "\n" + entry(driver) +
                                      "  <- Zavik Driver, port 4\n" +
                                      entry("Zavik Driver Virtual Com Port (COM5)") +
                                      "  (skipped: points at nothing)\nConnecting uses port 4.\n");
}

// The demonstration of ./run, with the programs of this build: it must end with the emulated
// device's LEDs off and say where the run's files are.
TEST_F(CliFixture, TheDemonstrationRunsToItsEnd) {
    const std::filesystem::path work = File("demo");
    ChildProcess demo(
        "/bin/bash",
        {OSTRA_SOURCE_DIR "/scripts/demo.sh", OSTRA_CLI_PROGRAM, ZAVIK_SIM_PROGRAM, work.string()},
        {});
    const ProcessResult result = demo.Finish(kPatience);
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    for (const std::string& expected :
         {"No Zavik Driver found: starting the emulator zavik-sim (port directory " +
              (work / "ports").string() + ").",
          std::string("Firmware version: ZVK-SIM 1.0"), std::string("Upload Complete!"),
          std::string("Sequence 3 (Demo trial) completed after 1910.8 ms."),
          std::string("Every LED is off (output mask 0x0080: only the always-set bit 7)."),
          "Settings file: " + (work / "appdata/Velorin/Ostra/OstraSettings.cfg").string(),
          std::string("Demonstration complete.")})
        EXPECT_THAT(Lines(result.out), testing::Contains(expected));
    const std::string state = ReadFileBytes(work / "zavik-sim-state.txt");
    EXPECT_THAT(state, StartsWith("outputs 0x0080 (Blue off, Green off, Red off)\n"));
    EXPECT_THAT(state, HasSubstr("sequence 10 records 6\n"));
    EXPECT_THAT(state, HasSubstr("running none\n"));
    // Nothing of the demonstration lands in the test's own TEMP and APPDATA.
    EXPECT_TRUE(DataDirectories().empty());
}

}  // namespace
