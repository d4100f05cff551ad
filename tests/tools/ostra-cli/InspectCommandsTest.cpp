#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "support/FileBytes.h"
#include "tools/ostra-cli/CliFixture.h"

namespace {

using Arguments = std::vector<std::string>;
using InspectTest = CliFixture;

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

// Not the operator's file, not the run's closing copy, not the device.
TEST_F(InspectTest, InspectingCommandsWriteNothing) {
    WriteSettings(kHandWrittenSettings);
    WriteFileBytes(File("other.cfg"), "-SetIntensity Blue 7\n");
    StartSimulator();
    for (const Arguments& arguments :
         {Arguments{"ports"}, Arguments{"check", File("other.cfg").string()}, Arguments{"show"},
          Arguments{"show", "2", "--script"}, Arguments{"--json", "show", "0"},
          Arguments{"timeline", "2"}}) {
        const CliResult result = Run(arguments);
        EXPECT_EQ(result.exitCode, 0) << arguments[0] << result.err;
    }
    EXPECT_EQ(ReadFileBytes(SettingsFile()), kHandWrittenSettings);
    for (const auto& directory : DataDirectories()) {
        EXPECT_FALSE(std::filesystem::exists(directory / "OstraSettings.cfg")) << directory;
    }
    EXPECT_TRUE(driver_->Packets().empty());
}

TEST_F(InspectTest, ShowListsTheSequencesAndTheScriptOfOne) {
    WriteSettings(kHandWrittenSettings);
    EXPECT_EQ(Run({"show"}).out,
              "  N  Name    Steps     Duration\n  0  Marker      1  10.0 ms\n"
              "  2  Flash       1  10.0 ms\n");
    EXPECT_EQ(RunJson({"show"})["sequences"][1],
              nlohmann::ordered_json::parse(
                  R"({"number": 2, "name": "Flash", "steps": 1, "durationMs": 10.0})"));
    // The script commands the upload sends (Blue is device LED 0; 10 ms is the step itself
    // plus 99 steps of 0.1 ms).
    EXPECT_EQ(Lines(Run({"show", "2", "--script"}).out),
              (std::vector<std::string>{"Sequence 2 (Flash): 1 step, 10.0 ms",
                                        "  step 0: -Off Blue; -Duration 10", "Script commands (3):",
                                        "    0  01 00 00 01 00 00 00 00 00 00  SetOutputs Blue off",
                                        "    1  00 63 00 00 00 00 00 00 00 00  WaitSteps 99",
                                        "    2  FF 00 00 00 00 00 00 00 00 00  EndOfSequence"}));
    nlohmann::ordered_json json = RunJson({"show", "2", "--script"});
    EXPECT_EQ(json["name"].get<std::string>(), "Flash");
    EXPECT_EQ(json["steps"][0][1].get<std::string>(), "-Duration 10");
    EXPECT_EQ(json["script"][1], nlohmann::ordered_json::parse(
                                     R"({"index": 1, "hex": "00 63 00 00 00 00 00 00 00 00",
                                         "text": "WaitSteps 99"})"));
}

// The core's TSV with the stored intensity 200 as Blue's start, the limit's message and the
// script walk's summary as comment lines; the same in JSON; the picture when asked for.
TEST_F(InspectTest, TimelineListsTheSettingsWithTheScriptCheck) {
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

// Listing ports needs no configuration, so no run directory is made.
TEST_F(InspectTest, PortsMarksTheZavikDriver) {
    const std::string other = (PortDirectory() / "Other adapter (COM9)").string();
    std::filesystem::create_symlink("/dev/null", other);
    EXPECT_EQ(Run({"ports"}).out, "Other adapter (COM9)  " + other +
                                      "\nNo Zavik Driver found: connecting uses the port number "
                                      "of the setup and settings files.\n");
    StartSimulator();
    const std::string name = "Zavik Driver Virtual Com Port (COM4)";
    const std::string registered = (PortDirectory() / name).string();
    const CliResult result = Run({"ports"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(Lines(result.out), (std::vector<std::string>{
                                     "Other adapter (COM9)  " + other,
                                     name + "  " + registered + "  <- Zavik Driver, port 4",
                                     "Connecting uses port 4."}));
    nlohmann::ordered_json json = RunJson({"ports"});
    EXPECT_EQ(json["ports"][0]["portNumber"], nullptr);
    EXPECT_EQ(json["ports"][1],
              nlohmann::ordered_json({{"name", name},
                                      {"device", registered},
                                      {"zavikDriver", true},
                                      {"portNumber", 4}}));
    EXPECT_EQ(json["discoveredPort"], 4);
    EXPECT_TRUE(DataDirectories().empty());
}

// Scripts start ostra-cli several times a second: a run whose dated directory exists already
// takes a numbered one of its own. The plain names of every second around now are taken first,
// so the run meets that case whenever it starts.
TEST_F(InspectTest, ARunWithinTheSameSecondGetsADataDirectoryOfItsOwn) {
    for (std::time_t t = std::time(nullptr) - 2, end = t + 32; t <= end; ++t) {
        char stamp[64];
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", std::localtime(&t));
        std::filesystem::create_directories(ProductDirectory() / stamp);
    }
    CliResult result;
    nlohmann::ordered_json json = RunJson({"show"}, &result);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::filesystem::path directory = json["dataDirectory"].get<std::string>();
    EXPECT_EQ(directory.parent_path(), ProductDirectory());
    EXPECT_TRUE(directory.filename().string().ends_with("_2")) << directory;
    EXPECT_EQ(json["logFile"].get<std::string>(), (directory / "OstraLogFile.txt").string());
    EXPECT_TRUE(std::filesystem::exists(directory / "OstraLogFile.txt"));
}

}  // namespace
