#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <vector>

#include "support/FaultRules.h"
#include "support/FileBytes.h"
#include "tools/ostra-cli/CliFixture.h"

namespace {

std::vector<std::string> Concatenated(std::vector<std::string> first,
                                      const std::vector<std::string>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

const std::vector<std::string> kConnect{"01", "0B 00 E5", "0B 02 E5", "0B 01 E5"};

// samples/sequences/RedFlashes.cfg uploaded as sequence 10 (0x0A): the loop start folds into
// the end-of-loop record, Red is device LED 1, TTL 6 is bit 6; 50 ms and 450 ms become the step
// plus 499 and 4499 steps of 0.1 ms.
const std::vector<std::string> kRedFlashesUpload{"15 0A",
                                                 "16 0A 06 00 00 00",
                                                 "17 0A 00 00 00 00 01 02 00 02 00 40 40 00 00 00",
                                                 "17 0A 01 00 00 00 00 F3 01 00 00 00 00 00 00 00",
                                                 "17 0A 02 00 00 00 01 00 00 02 00 00 40 00 00 00",
                                                 "17 0A 03 00 00 00 00 93 11 00 00 00 00 00 00 00",
                                                 "17 0A 04 00 00 00 06 00 00 00 00 00 05 00 00 00",
                                                 "17 0A 05 00 00 00 FF 00 00 00 00 00 00 00 00 00",
                                                 "18 0A"};

const std::string kMarkerSettings =
    "-AddSequence 0 \"Marker\"\n"
    "-AddSequenceCommandSet 0 0\n-AddSequenceCommand 0 0 \"-TTLHigh 3\"\n"
    "-AddSequenceCommand 0 0 \"-Duration 5\"\n"
    "-AddSequenceCommandSet 0 1\n-AddSequenceCommand 0 1 \"-TTLLow 3\"\n";

const std::vector<std::string> kMarkerUpload{"15 00",
                                             "16 00 04 00 00 00",
                                             "17 00 00 00 00 00 07 08 08 00 00 00 00 00 00 00",
                                             "17 00 01 00 00 00 00 31 00 00 00 00 00 00 00 00",
                                             "17 00 02 00 00 00 07 00 08 00 00 00 00 00 00 00",
                                             "17 00 03 00 00 00 FF 00 00 00 00 00 00 00 00 00",
                                             "18 00"};

TEST_F(CliFixture, UploadSendsTheImportedSampleByteForByte) {
    StartSimulator();
    const CliResult imported =
        Run({"import", "10", "Red flashes", OSTRA_SOURCE_DIR "/samples/sequences/RedFlashes.cfg"});
    ASSERT_EQ(imported.exitCode, 0) << imported.err;
    const CliResult result = Run({"upload"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(ToHex(ReceivedPayloads()), CanonicalHex(Concatenated(kConnect, kRedFlashesUpload)));
    const std::vector<std::string> lines = Lines(result.out);
    ASSERT_EQ(lines.size(), 3u) << result.out;
    EXPECT_EQ(lines[0], "Uploaded sequence 10 (Red flashes): 6 script commands.");
    EXPECT_EQ(lines[1], "Upload Complete!");
    // The snapshot holds the settings the run ends with.
    const std::string prefix = "Settings snapshot: ";
    ASSERT_EQ(lines[2].rfind(prefix, 0), 0u) << lines[2];
    const std::filesystem::path snapshot = lines[2].substr(prefix.size());
    EXPECT_EQ(snapshot.parent_path(), DataDirectories().back());
    EXPECT_EQ(snapshot.filename().string().rfind("TrivaneSettings_", 0), 0u);
    EXPECT_EQ(ReadFileBytes(snapshot), ReadFileBytes(SettingsFile()));
    EXPECT_EQ(driver_->State().Sequences().size(), 1u);
}

TEST_F(CliFixture, UploadReportsAsJson) {
    WriteSettings(kMarkerSettings);
    StartSimulator();
    nlohmann::ordered_json json = RunJson({"upload"});
    EXPECT_EQ(json["ok"], true);
    ASSERT_EQ(json["uploaded"].size(), 1u);
    EXPECT_EQ(json["uploaded"][0]["number"], 0);
    EXPECT_EQ(json["uploaded"][0]["name"].get<std::string>(), "Marker");
    EXPECT_EQ(json["uploaded"][0]["scriptCommands"], 4);
    EXPECT_EQ(std::filesystem::path(json["snapshot"].get<std::string>()).parent_path(),
              std::filesystem::path(json["dataDirectory"].get<std::string>()));
    EXPECT_EQ(ToHex(ReceivedPayloads()), CanonicalHex(Concatenated(kConnect, kMarkerUpload)));
}

// The third script command gets no answer: the upload stops there, nothing after it is sent.
TEST_F(CliFixture, ADeviceThatStopsAnsweringMidUploadIsADeviceError) {
    driver_.Config().faults.push_back(SilentFault(0x17, 3));
    StartSimulator();
    ASSERT_EQ(
        Run({"import", "10", "Red flashes", OSTRA_SOURCE_DIR "/samples/sequences/RedFlashes.cfg"})
            .exitCode,
        0);
    CliResult result;
    nlohmann::ordered_json json = RunJson({"--read-timeout-ms", "200", "upload"}, &result);
    EXPECT_EQ(result.exitCode, 4);
    const std::vector<std::string> sent(kRedFlashesUpload.begin(), kRedFlashesUpload.begin() + 5);
    EXPECT_EQ(ToHex(ReceivedPayloads()), CanonicalHex(Concatenated(kConnect, sent)));
    EXPECT_NE(result.err.find("ostra-cli: Error uploading sequences.  Please revise your "
                              "sequences and try again.\n"),
              std::string::npos)
        << result.err;
    EXPECT_EQ(json["ok"], false);
    EXPECT_TRUE(json["uploaded"].empty());
    EXPECT_EQ(json["snapshot"].get<std::string>(), "");
    EXPECT_GE(json["errors"].size(), 2u);
}

// Every sequence is converted before the device is contacted.
TEST_F(CliFixture, ASequenceThatCannotBeConvertedIsNeverSent) {
    WriteSettings(kMarkerSettings +
                  "-AddSequence 4 \"Mixed\"\n-AddSequenceCommandSet 4 0\n"
                  "-AddSequenceCommand 4 0 \"-SetIntensity Blue 10\"\n"
                  "-AddSequenceCommand 4 0 \"-On Blue\"\n");
    StartSimulator();
    const CliResult result = Run({"upload"});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_TRUE(driver_->Packets().empty());
    EXPECT_NE(result.err.find("ostra-cli: Error: Error updating Op Code for -On command, it "
                              "conflicts with the current op code(10).\n"),
              std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("ostra-cli: Sequence 4 (Mixed) cannot be converted to script "
                              "commands; nothing was uploaded.\n"),
              std::string::npos);
}

// A settings file that stopped at a failing line holds a cut-short protocol: nothing is sent.
TEST_F(CliFixture, AProtocolThatDidNotLoadCompletelyIsNeverSent) {
    WriteSettings(kMarkerSettings +
                  "-AddSequenceCommand 0 0 \"-On Amber\"\n"
                  "-AddSequenceCommand 0 0 \"-Duration 5\"\n");
    StartSimulator();
    CliResult result;
    const nlohmann::ordered_json json = RunJson({"run", "0", "--upload"}, &result);
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(json["ok"], false);
    EXPECT_TRUE(driver_->Packets().empty());
    EXPECT_NE(result.err.find(SettingsFile().string() + ":"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("nothing was uploaded"), std::string::npos) << result.err;
}

TEST_F(CliFixture, RunStartsTheSequenceAndReportsItsEnd) {
    WriteSettings(kMarkerSettings);
    StartSimulator();
    const CliResult result = Run({"run", "0", "--upload"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(ToHex(ReceivedPayloads()),
              CanonicalHex(Concatenated(Concatenated(kConnect, kMarkerUpload), {"14 00"})));
    const std::vector<std::string> lines = Lines(result.out);
    ASSERT_EQ(lines.size(), 5u) << result.out;
    EXPECT_EQ(lines[0], "Uploaded sequence 0 (Marker): 4 script commands.");
    EXPECT_EQ(lines[3], "Started sequence 0 (Marker) for 5.1 ms.");
    EXPECT_EQ(lines[4], "Sequence 0 (Marker) completed after 5.1 ms.");

    // Already on the device: the run only starts it.
    const std::size_t before = driver_->Packets().size();
    nlohmann::ordered_json json = RunJson({"run", "0"});
    EXPECT_EQ(ToHex(ReceivedPayloads(), before), CanonicalHex(Concatenated(kConnect, {"14 00"})));
    EXPECT_EQ(json["ok"], true);
    EXPECT_EQ(json["number"], 0);
    EXPECT_EQ(json["name"].get<std::string>(), "Marker");
    EXPECT_EQ(json["durationMs"], 5.1);
    EXPECT_EQ(json["started"], true);
    EXPECT_EQ(json["completed"], true);
    EXPECT_EQ(json["interrupted"], false);
    EXPECT_EQ(json["stopSent"], false);
}

// On a terminal the upload and the run redraw one progress line; in a pipe (every other test)
// there is none.
TEST_F(CliFixture, ProgressIsDrawnOnATerminal) {
    WriteSettings(kMarkerSettings);
    StartSimulator();
    CliProcess run(OSTRA_CLI_PROGRAM, {"run", "0", "--upload"}, Environment(),
                   CliProcess::Output::Terminal);
    const CliResult result = run.Finish(kPatience);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(
        result.out.find("\rUploading sequence 0 (Marker), 1 of 1: 4 of 4 script commands\x1b[K\r\n"
                        "Uploaded sequence 0 (Marker): 4 script commands.\r\n"),
        std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("Started sequence 0 (Marker) for 5.1 ms.\r\n\rRunning sequence 0 "
                              "(Marker) ["),
              std::string::npos)
        << result.out;
    EXPECT_TRUE(
        result.out.ends_with(" of 5.1 ms\x1b[K\r\nSequence 0 (Marker) completed after 5.1 ms.\r\n"))
        << result.out;
}

TEST_F(CliFixture, ASequenceTheDeviceDoesNotHaveIsRefused) {
    WriteSettings(kMarkerSettings);
    StartSimulator();
    const CliResult result = Run({"run", "0"});
    EXPECT_EQ(result.exitCode, 4);
    EXPECT_EQ(ToHex(ReceivedPayloads()), CanonicalHex(Concatenated(kConnect, {"14 00"})));
    EXPECT_EQ(result.out, "");
}

TEST_F(CliFixture, RunRefusesASequenceThatIsNotDefined) {
    StartSimulator();
    const CliResult result = Run({"run", "3"});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_NE(result.err.find("ostra-cli: Sequence 3 is not defined.\n"), std::string::npos);
    EXPECT_TRUE(driver_->Packets().empty());
}

class InterruptTest : public CliFixture, public testing::WithParamInterface<int> {};

// The signal arrives while the run waits for the ten minutes of its sequence: the stop command
// and every LED off go out before the program ends with 5.
TEST_P(InterruptTest, SendsTheStopBeforeExiting) {
    WriteSettings(
        "-AddSequence 0 \"Long\"\n-AddSequenceCommandSet 0 0\n"
        "-AddSequenceCommand 0 0 \"-On Blue\"\n"
        "-AddSequenceCommand 0 0 \"-Duration 600000\"\n");
    StartSimulator();
    ASSERT_EQ(Run({"upload"}).exitCode, 0);
    const std::size_t before = driver_->Packets().size();
    const std::unique_ptr<CliProcess> run = Start({"run", "0"});
    ASSERT_TRUE(driver_->WaitForPackets(before + kConnect.size() + 1, kPatience));
    run->Signal(GetParam());
    const CliResult result = run->Finish(kPatience);
    EXPECT_EQ(result.exitCode, 5) << result.err;
    EXPECT_EQ(
        ToHex(ReceivedPayloads(), before),
        CanonicalHex(Concatenated(kConnect, {"14 00", "19", "0A 80 00", "0A 80 00", "0A 80 00"})));
    EXPECT_EQ(Lines(result.out),
              (std::vector<std::string>{"Started sequence 0 (Long) for 600000.0 ms.",
                                        "Interrupted: stopping sequence 0 (Long).",
                                        "Stop sent; every LED is off."}));
    EXPECT_EQ(driver_->State().OutputMask(), 0x0080);
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptTest, testing::Values(SIGINT, SIGTERM),
                         [](const testing::TestParamInfo<int>& info) {
                             return info.param == SIGINT ? "Sigint" : "Sigterm";
                         });

}  // namespace
