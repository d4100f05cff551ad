#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <string>
#include <vector>

#include "device/SerialPort.h"
#include "support/FaultRules.h"
#include "support/FileBytes.h"
#include "tools/ostra-cli/CliFixture.h"

namespace {

using Arguments = std::vector<std::string>;

std::vector<std::string> AfterConnect(const std::vector<std::string>& payloads) {
    std::vector<std::string> all = ToHex(ConnectPayloads());
    const std::vector<std::string> rest = CanonicalHex(payloads);
    all.insert(all.end(), rest.begin(), rest.end());
    return all;
}

TEST_F(CliFixture, ConnectReportsPortAndFirmwareAndSendsEveryIntensity) {
    driver_.Config().portNumber = 7;
    driver_.Config().firmwareVersion = L"ZVK 2.4";
    StartSimulator();
    const CliResult result = Run({"connect"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::string port =
        "COM7 (" + (PortDirectory() / "Zavik Driver Virtual Com Port (COM7)").string() + ")";
    EXPECT_EQ(Lines(result.out),
              (std::vector<std::string>{"Connected to the Zavik Driver on " + port + ".",
                                        "Firmware version: ZVK 2.4",
                                        "Intensities sent: Blue 26, Green 26, Red 26"}));
    // Discovery found port 7 (the setup file says 4); the report shows the version the connect
    // read, so the traffic is the connect's alone.
    EXPECT_EQ(ToHex(ReceivedPayloads()), AfterConnect({}));
    EXPECT_NE(ReadFileBytes(SettingsFile()).find("-SetMicroControllerPortNumber 7\r\n"),
              std::string::npos);

    nlohmann::ordered_json json = RunJson({"connect"});
    EXPECT_EQ(Keys(json),
              (std::vector<std::string>{"command", "port", "portName", "firmware", "intensities",
                                        "ok", "exitCode", "errors", "dataDirectory", "logFile"}));
    EXPECT_EQ(json["command"].get<std::string>(), "connect");
    EXPECT_EQ(json["port"], 7);
    EXPECT_EQ(json["portName"].get<std::string>(), port);
    EXPECT_EQ(json["firmware"].get<std::string>(), "ZVK 2.4");
    ASSERT_EQ(json["intensities"].size(), 3u);
    EXPECT_EQ(json["intensities"][2]["label"].get<std::string>(), "Red");
    EXPECT_EQ(json["intensities"][2]["intensity"], 26);
    EXPECT_EQ(json["ok"], true);
    EXPECT_TRUE(json["errors"].empty());
}

struct LedCase {
    std::string name;
    Arguments arguments;
    int exitCode;
    // The payloads after the connect; none at all when the command failed before connecting.
    std::vector<std::string> payloads;
    bool connects = true;
};

void PrintTo(const LedCase& c, std::ostream* out) {
    *out << c.name;
}

class LedCommandTest : public CliFixture, public testing::WithParamInterface<LedCase> {};

TEST_P(LedCommandTest, SendsExactlyTheDeviceModelsCommands) {
    const LedCase& c = GetParam();
    StartSimulator();
    const CliResult result = Run(c.arguments);
    EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
    const std::vector<std::string> expected =
        c.connects ? AfterConnect(c.payloads) : std::vector<std::string>{};
    EXPECT_EQ(ToHex(ReceivedPayloads()), expected);
}

// Each run starts with every output believed off: the mask is 0x0080 plus the LEDs switched on
// in this run (Blue bit 0, Red bit 1, Green bit 2). Pulse widths travel in 0.1 ms steps.
INSTANTIATE_TEST_SUITE_P(
    Commands, LedCommandTest,
    testing::Values(
        LedCase{"OnTwo", {"led", "on", "Blue", "red"}, 0, {"0A 81 00", "0A 83 00"}},
        LedCase{"OffAll", {"led", "off"}, 0, {"0A 80 00", "0A 80 00", "0A 80 00"}},
        LedCase{"OffOne", {"led", "off", "Green"}, 0, {"0A 80 00"}},
        LedCase{"OnUnknown", {"led", "on", "Blue", "Purple"}, 3, {}, false},
        LedCase{"IntensityTooHigh", {"led", "intensity", "Blue", "256"}, 3, {}, false},
        LedCase{"IntensityEmptyLabel", {"led", "intensity", "", "5"}, 3, {}, false},
        LedCase{"PulseStartEmptyLabel", {"led", "pulse-start", "", "--on", "5"}, 3, {}, false},
        LedCase{"PulseStopEmptyLabel", {"led", "pulse-stop", ""}, 3, {}, false},
        LedCase{"PulseStartStored",
                {"led", "pulse-start", "Blue"},
                0,
                {"1E 00 64 00 00 00 00 00 00 00 84 03 00 00 00 00 00 00 00 00 00 00"}},
        LedCase{"PulseStartGiven",
                {"led", "pulse-start", "Red", "--on", "0.5", "--off", "1800000", "--loops", "3"},
                0,
                {"1E 01 05 00 00 00 00 00 00 00 80 A8 12 01 00 00 00 00 03 00 00 00"}},
        LedCase{"PulseWidthTooShort", {"led", "pulse-start", "Red", "--on", "0.05"}, 3, {}, false},
        LedCase{
            "PulseLoopsTooMany", {"led", "pulse-start", "Red", "--loops", "1000001"}, 3, {}, false},
        LedCase{"PulseStop",
                {"led", "pulse-stop", "Green"},
                0,
                {"1E 02 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00", "0A 80 00"}}),
    [](const testing::TestParamInfo<LedCase>& info) { return info.param.name; });

TEST_F(CliFixture, AnIntensityIsStoredSentAndSaved) {
    StartSimulator();
    const CliResult result = Run({"led", "intensity", "Green", "200"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(ToHex(ReceivedPayloads()), CanonicalHex({"01", "0B 00 E5", "0B 02 37", "0B 01 E5"}));
    EXPECT_NE(ReadFileBytes(SettingsFile()).find("-SetIntensity \"Green\" 200\r\n"),
              std::string::npos);
    EXPECT_EQ(Lines(result.out),
              (std::vector<std::string>{"Outputs 0x0080: Blue off (intensity 26), Green off "
                                        "(intensity 200), Red off (intensity 26)"}));
}

TEST_F(CliFixture, ARefusedValueGivesTheDeviceModelsMessage) {
    const CliResult result = Run({"led", "pulse-start", "Red", "--on", "0.05"});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(Lines(result.err)[0],
              "ostra-cli: Error: Error setting Red pulse parameters.  The pulse width on "
              "value(0.1)is out of range (0.1...1800000.0 ms).");
    nlohmann::ordered_json json = RunJson({"led", "on", "Purple"});
    EXPECT_EQ(json["ok"], false);
    EXPECT_EQ(json["exitCode"], 3);
    ASSERT_EQ(json["errors"].size(), 1u);
    EXPECT_EQ(json["errors"][0].get<std::string>(),
              "Error validating color value(Purple), the color does not exist.");
    EXPECT_EQ(json["connected"], false);
    EXPECT_EQ(json["outputMask"], 128);
}

TEST_F(CliFixture, StopSendsTheStopAndEveryLEDOff) {
    StartSimulator();
    const CliResult result = Run({"stop"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(ToHex(ReceivedPayloads()), AfterConnect({"19", "0A 80 00", "0A 80 00", "0A 80 00"}));
    EXPECT_EQ(Lines(result.out),
              (std::vector<std::string>{
                  "Sequence execution stopped; every LED is off (outputs 0x0080)."}));
}

TEST_F(CliFixture, WithoutADeviceTheConnectFailsWithTheConnectionMessage) {
    for (const Arguments& arguments :
         {Arguments{"connect"}, Arguments{"stop"}, Arguments{"led", "off"}, Arguments{"upload"}}) {
        const CliResult result = Run(arguments);
        EXPECT_EQ(result.exitCode, 4) << arguments[0];
        EXPECT_NE(result.err.find("ostra-cli: Zavik Driver Connection Error: Unable to connect to "
                                  "Zavik Driver.  Please verify the port number is valid and "
                                  "that the device is connected to the PC.\n"),
                  std::string::npos)
            << result.err;
        EXPECT_EQ(result.err.find("in use"), std::string::npos);
    }
}

TEST_F(CliFixture, ADeviceThatRefusesACommandIsADeviceError) {
    driver_.Config().faults.push_back(StatusFault(0x0A, 0xFF));
    StartSimulator();
    const CliResult result = Run({"led", "on", "Blue"});
    EXPECT_EQ(result.exitCode, 4);
    EXPECT_EQ(ToHex(ReceivedPayloads()), AfterConnect({"0A 81 00"}));
    nlohmann::ordered_json json = RunJson({"led", "on", "Blue"});
    EXPECT_EQ(json["outputMask"], 128);
}

// Ostra holds the tty exclusively while connected; a second program gets a clear answer.
TEST_F(CliFixture, ASecondProgramOnAHeldPortIsToldThePortIsInUse) {
    StartSimulator();
    SerialPort holder;
    ASSERT_EQ(holder.Open(4), 0);
    const CliResult result = Run({"led", "off"});
    EXPECT_EQ(result.exitCode, 4);
    EXPECT_NE(result.err.find(") is in use by another program.\n"), std::string::npos)
        << result.err;
    EXPECT_TRUE(driver_->Packets().empty());
    holder.Close();
    EXPECT_EQ(Run({"led", "off"}).exitCode, 0);
}

// SIGTERM reaches a command waiting for a device that never answers: the wait ends at once, what
// the command started is stopped, and the program exits with 5.
TEST_F(CliFixture, ASignalEndsAWaitForTheDeviceAndStopsWhatWasStarted) {
    struct Case {
        Arguments arguments;
        std::uint8_t silentCommand;
        std::vector<std::string> payloadsAfterConnect;  // those sent before the exit
    };
    WriteSettings("-AddSequence 0 \"Short\"\n-AddSequenceCommandSet 0 0\n");
    const std::string pulseStop =
        "1E 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00";
    for (const Case& c :
         std::vector<Case>{{{"run", "0"}, 0x01, {}},
                           {{"led", "pulse-start", "Blue"},
                            0x1E,
                            {"1E 00 64 00 00 00 00 00 00 00 84 03 00 00 00 00 00 00 00 00 00 00",
                             pulseStop, "0A 80 00", "19", "0A 80 00", "0A 80 00", "0A 80 00"}}}) {
        driver_.Unplug();
        driver_.Config().faults = {SilentFault(c.silentCommand, 1)};
        StartSimulator();
        const std::unique_ptr<CliProcess> process = Start(c.arguments);
        const std::size_t waitingAt = c.silentCommand == 0x01 ? 1 : ConnectPayloads().size() + 1;
        ASSERT_TRUE(driver_->WaitForPackets(waitingAt, kPatience));
        const auto signalled = std::chrono::steady_clock::now();
        process->Signal(SIGTERM);
        // The time-out of the silent read is 300 s.
        const CliResult result = process->Finish(std::chrono::seconds(10));
        EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(3));
        EXPECT_EQ(result.exitCode, 5) << c.arguments[0] << result.err;
        EXPECT_EQ(ToHex(ReceivedPayloads()), c.silentCommand == 0x01
                                                 ? std::vector<std::string>{"01"}
                                                 : AfterConnect(c.payloadsAfterConnect));
    }
}

// Discovery names the driver's own entry, and connecting opens that one: not another entry of
// the same number, nor an entry that leads nowhere.
TEST_F(CliFixture, ConnectOpensTheEntryDiscoveryFound) {
    StartSimulator();
    WriteFileBytes(File("plain"), "");
    std::filesystem::create_symlink(File("plain"), PortDirectory() / "Another device (COM4)");
    std::filesystem::create_symlink(File("gone"),
                                    PortDirectory() / "Zavik Driver Virtual Com Port (COM5)");
    const CliResult result = Run({"connect"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::string driver = (PortDirectory() / "Zavik Driver Virtual Com Port (COM4)").string();
    EXPECT_NE(result.out.find("Connected to the Zavik Driver on COM4 (" + driver + ").\n"),
              std::string::npos);
    EXPECT_NE(
        Run({"ports"}).out.find("(COM5)  (skipped: points at nothing)\nConnecting uses port 4.\n"),
        std::string::npos);
}

// Each invocation changes only the LEDs it names: the outputs the previous one left on this port
// stay as they were.
TEST_F(CliFixture, LedCommandsKeepTheOutputsOfEarlierInvocations) {
    StartSimulator();
    ASSERT_EQ(Run({"led", "on", "Green"}).exitCode, 0);
    const CliResult result = Run({"led", "off", "Red"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(driver_->State().OutputMask(), 0x0084);
}

}  // namespace
