#include <gtest/gtest.h>

#include <ctime>
#include <set>
#include <string>
#include <vector>

#include "support/FileBytes.h"
#include "tools/ostra-cli/CliFixture.h"

namespace {

using Arguments = std::vector<std::string>;

// Written by hand: a save would lay it out differently (no comments, CR LF, all LEDs), so any
// write shows in its bytes.
const std::string kHandWrittenSettings =
    "# my settings\n"
    "-SetIntensity Blue 200\n"
    "-AddSequence 0 \"Marker\"\n"
    "-AddSequence 2 \"Flash\"\n"
    "-AddSequenceCommandSet 0 0\n"
    "-AddSequenceCommand 0 0 \"-TTLHigh 3\"\n"
    "-AddSequenceCommand 0 0 \"-Duration 10\"\n"
    "-AddSequenceCommandSet 2 0\n"
    "-AddSequenceCommand 2 0 \"-Off Blue\"\n"
    "-AddSequenceCommand 2 0 \"-Duration 10\"\n";

class InspectOnlyTest : public CliFixture, public testing::WithParamInterface<Arguments> {};

TEST_P(InspectOnlyTest, LeavesTheSettingsFileAsItWas) {
    WriteSettings(kHandWrittenSettings);
    WriteFileBytes(File("other.cfg"), "-SetIntensity Blue 7\n");
    StartSimulator();
    Arguments arguments = GetParam();
    if (arguments.front() == "check") {
        arguments.push_back(File("other.cfg").string());
    }
    const CliResult result = Run(arguments);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(ReadFileBytes(SettingsFile()), kHandWrittenSettings);
    for (const auto& directory : DataDirectories()) {
        EXPECT_FALSE(std::filesystem::exists(directory / "OstraSettings.cfg")) << directory;
    }
    EXPECT_TRUE(driver_->Packets().empty());
}

INSTANTIATE_TEST_SUITE_P(Commands, InspectOnlyTest,
                         testing::Values(Arguments{"ports"}, Arguments{"check"}, Arguments{"show"},
                                         Arguments{"show", "2", "--script"},
                                         Arguments{"--json", "show", "0"},
                                         Arguments{"timeline", "2"}));

// The counterpart: a command that does not look only saves the settings it ends with as the
// closing copy in the run's data directory; the operator's file is rewritten only when the
// settings changed, so a command that changed nothing leaves it as written.
TEST_F(CliFixture, ACommandThatChangesNothingSavesOnlyTheClosingCopy) {
    WriteSettings(kHandWrittenSettings);
    const CliResult result = Run({"export", "2", File("flash.cfg").string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(ReadFileBytes(SettingsFile()), kHandWrittenSettings);
    ASSERT_EQ(DataDirectories().size(), 1u);
    const std::string saved = ReadFileBytes(DataDirectories()[0] / "OstraSettings.cfg");
    EXPECT_NE(saved.find("-SetIntensity \"Blue\" 200\r\n"), std::string::npos) << saved;
    EXPECT_EQ(ReadFileBytes(File("flash.cfg")),
              "-AddSequenceCommandSet 2 0\r\n-AddSequenceCommand 2 0 \"-Off Blue\"\r\n"
              "-AddSequenceCommand 2 0 \"-Duration 10\"\r\n\r\n");
}

TEST_F(CliFixture, ShowListsTheSequences) {
    WriteSettings(kHandWrittenSettings);
    const CliResult result = Run({"show"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(Lines(result.out), (std::vector<std::string>{"  N  Name    Steps     Duration",
                                                           "  0  Marker      1  10.0 ms",
                                                           "  2  Flash       1  10.0 ms"}));
    nlohmann::ordered_json json = RunJson({"show"});
    ASSERT_EQ(json["sequences"].size(), 2u);
    nlohmann::ordered_json& flash = json["sequences"][1];
    EXPECT_EQ(Keys(flash), (std::vector<std::string>{"number", "name", "steps", "durationMs"}));
    EXPECT_EQ(flash["number"], 2);
    EXPECT_EQ(flash["name"].get<std::string>(), "Flash");
    EXPECT_EQ(flash["steps"], 1);
    EXPECT_EQ(flash["durationMs"], 10.0);
}

// The script commands are those the upload sends (Blue is device LED 0; 10 ms is the step
// itself plus 99 steps of 0.1 ms).
TEST_F(CliFixture, ShowGivesTheScriptCommandsDecodedAndAsHex) {
    WriteSettings(kHandWrittenSettings);
    const CliResult result = Run({"show", "2", "--script"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(Lines(result.out),
              (std::vector<std::string>{"Sequence 2 (Flash): 1 step, 10.0 ms",
                                        "  step 0: -Off Blue; -Duration 10", "Script commands (3):",
                                        "    0  01 00 00 01 00 00 00 00 00 00  SetOutputs Blue off",
                                        "    1  00 63 00 00 00 00 00 00 00 00  WaitSteps 99",
                                        "    2  FF 00 00 00 00 00 00 00 00 00  EndOfSequence"}));
    nlohmann::ordered_json json = RunJson({"show", "2", "--script"});
    EXPECT_EQ(json["name"].get<std::string>(), "Flash");
    ASSERT_EQ(json["steps"].size(), 1u);
    EXPECT_EQ(json["steps"][0][1].get<std::string>(), "-Duration 10");
    ASSERT_EQ(json["script"].size(), 3u);
    EXPECT_EQ(json["script"][1]["hex"].get<std::string>(), "00 63 00 00 00 00 00 00 00 00");
    EXPECT_EQ(json["script"][1]["text"].get<std::string>(), "WaitSteps 99");
}

// The core's TSV with the stored intensity 200 as Blue's start, the limit's message and the
// script walk's summary as comment lines; the same in JSON; the picture when asked for.
TEST_F(CliFixture, TimelineListsTheSettingsWithTheScriptCheck) {
    WriteSettings(kHandWrittenSettings + "-AddSequenceCommand 0 0 \"-On Red\"\n");
    const CliResult result = Run({"timeline", "2", "--svg", File("flash.svg").string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::vector<std::string> lines = Lines(result.out);
    ASSERT_EQ(lines.size(), 13u) << result.out;
    EXPECT_EQ(lines[2], "0.0\tBlue intensity\t200\tinitial");
    EXPECT_EQ(lines[11], "0.0\tBlue\toff\tseq 2 step 0");
    EXPECT_EQ(lines[12],
              "# Script and timeline agree on 1 settings, all at the same times. It "
              "ends at 10.0 ms, the timeline at 10.0 ms.");
    EXPECT_TRUE(ReadFileBytes(File("flash.svg")).starts_with("<?xml"));

    const std::vector<std::string> cut = Lines(Run({"timeline", "0", "--max-events", "1"}).out);
    ASSERT_EQ(cut.size(), 14u);
    EXPECT_EQ(cut[12],
              "# Sequence 0 sets its outputs 2 times; only the first 1 are listed (the limit "
              "given).");

    nlohmann::ordered_json json = RunJson({"timeline", "2"});
    EXPECT_EQ(json["durationMs"], 10.0);
    ASSERT_EQ(json["events"].size(), 1u);
    EXPECT_EQ(json["events"][0]["source"].get<std::string>(), "seq 2 step 0");
    EXPECT_EQ(json["scriptCheck"].get<std::string>(), lines[12].substr(2));
    EXPECT_EQ(json["svgFile"], nullptr);
}

TEST_F(CliFixture, ShowRefusesASequenceThatIsNotDefined) {
    WriteSettings(kHandWrittenSettings);
    for (const char* number : {"1", "255"}) {
        const CliResult result = Run({"show", number});
        EXPECT_EQ(result.exitCode, 3) << number;
    }
    const CliResult result = Run({"show", "1"});
    EXPECT_NE(result.err.find("ostra-cli: Sequence 1 is not defined."), std::string::npos);
    const CliResult outOfRange = Run({"show", "255"});
    EXPECT_NE(outOfRange.err.find("ostra-cli: Error: Error validating sequence number.  The "
                                  "sequence number(255) is out of range(0..254)."),
              std::string::npos)
        << outOfRange.err;
}

TEST_F(CliFixture, PortsMarksTheZavikDriver) {
    StartSimulator();
    const std::string registered =
        (PortDirectory() / "Zavik Driver Virtual Com Port (COM4)").string();
    const CliResult result = Run({"ports"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(Lines(result.out),
              (std::vector<std::string>{"Zavik Driver Virtual Com Port (COM4)  " + registered +
                                            "  <- Zavik Driver, port 4",
                                        "Connecting uses port 4."}));
    nlohmann::ordered_json json = RunJson({"ports"});
    ASSERT_EQ(json["ports"].size(), 1u);
    EXPECT_EQ(json["ports"][0]["name"].get<std::string>(), "Zavik Driver Virtual Com Port (COM4)");
    EXPECT_EQ(json["ports"][0]["device"].get<std::string>(), registered);
    EXPECT_EQ(json["ports"][0]["zavikDriver"], true);
    EXPECT_EQ(json["ports"][0]["portNumber"], 4);
    EXPECT_EQ(json["discoveredPort"], 4);
    // Listing ports needs no configuration, so no run directory is made.
    EXPECT_TRUE(DataDirectories().empty());
}

TEST_F(CliFixture, PortsWithoutADevice) {
    std::filesystem::create_symlink("/dev/null", PortDirectory() / "Other adapter (COM9)");
    const CliResult result = Run({"ports"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(Lines(result.out),
              (std::vector<std::string>{
                  "Other adapter (COM9)  " + (PortDirectory() / "Other adapter (COM9)").string(),
                  "No Zavik Driver found: connecting uses the port number of the setup and "
                  "settings files."}));
    nlohmann::ordered_json json = RunJson({"ports"});
    EXPECT_EQ(json["ports"][0]["zavikDriver"], false);
    EXPECT_TRUE(json["ports"][0]["portNumber"].is_null());
    EXPECT_TRUE(json["discoveredPort"].is_null());
}

// The dated directory names of the seconds around now, as the start-up forms them.
std::vector<std::string> StampsAroundNow() {
    std::vector<std::string> stamps;
    const std::time_t now = std::time(nullptr);
    for (std::time_t t = now - 2; t <= now + 30; ++t) {
        std::tm local{};
        localtime_r(&t, &local);
        char text[64];
        std::snprintf(text, sizeof text, "%d-%02d-%02d_%02d-%02d-%02d", local.tm_year + 1900,
                      local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
        stamps.push_back(text);
    }
    return stamps;
}

// Scripts start ostra-cli several times a second: a run whose dated directory exists already
// takes a numbered one of its own. The plain names of every second around now are taken first,
// so the runs meet that case whenever they start.
TEST_F(CliFixture, RunsWithinTheSameSecondGetDataDirectoriesOfTheirOwn) {
    std::set<std::filesystem::path> taken;
    for (const std::string& stamp : StampsAroundNow()) {
        std::filesystem::create_directories(ProductDirectory() / stamp);
        taken.insert(ProductDirectory() / stamp);
    }
    std::set<std::string> used;
    for (int run = 0; run < 2; ++run) {
        CliResult result;
        nlohmann::ordered_json json = RunJson({"show"}, &result);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        const std::filesystem::path directory = json["dataDirectory"].get<std::string>();
        EXPECT_EQ(directory.parent_path(), ProductDirectory());
        EXPECT_FALSE(taken.contains(directory)) << directory;
        EXPECT_TRUE(used.insert(directory.string()).second) << directory;
        EXPECT_EQ(json["logFile"].get<std::string>(), (directory / "OstraLogFile.txt").string());
        EXPECT_TRUE(std::filesystem::exists(directory / "OstraLogFile.txt"));
        const std::string name = directory.filename().string();
        EXPECT_TRUE(name.ends_with("_2") || name.ends_with("_3")) << name;
    }
}

}  // namespace
