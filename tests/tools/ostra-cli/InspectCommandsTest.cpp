#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "support/FileBytes.h"
#include "tools/ostra-cli/CliFixture.h"

namespace {

using Arguments = std::vector<std::string>;
using Json = nlohmann::ordered_json;

// Written by hand: a save would lay it out differently (no comments, CR LF, all LEDs), so any
// write shows in its bytes.
class InspectTest : public CliFixture {
  protected:
    InspectTest() {
        WriteSettings(
            "# my settings\n-SetIntensity Blue 200\n"
            "-AddSequence 0 \"Marker\"\n-AddSequence 2 \"Flash\"\n"
            "-AddSequenceCommandSet 0 0\n-AddSequenceCommand 0 0 \"-TTLHigh 3\"\n"
            "-AddSequenceCommand 0 0 \"-Duration 10\"\n-AddSequenceCommandSet 2 0\n"
            "-AddSequenceCommand 2 0 \"-Off Blue\"\n-AddSequenceCommand 2 0 \"-Duration 10\"\n");
    }
};

// Not the operator's file, not the run's closing copy, not the device.
TEST_F(InspectTest, InspectingCommandsWriteNothing) {
    const std::string settings = ReadFileBytes(SettingsFile());
    WriteFileBytes(File("other.cfg"), "-SetIntensity Blue 7\n");
    StartSimulator();
    for (const Arguments& arguments :
         {Arguments{"ports"}, Arguments{"check", File("other.cfg").string()}, Arguments{"show"},
          Arguments{"show", "2", "--script"}, Arguments{"--json", "show", "0"},
          Arguments{"timeline", "2"}}) {
        EXPECT_EQ(Run(arguments).exitCode, 0) << arguments[0];
    }
    EXPECT_EQ(ReadFileBytes(SettingsFile()), settings);
    for (const auto& directory : DataDirectories()) {
        EXPECT_FALSE(std::filesystem::exists(directory / "OstraSettings.cfg")) << directory;
    }
    EXPECT_TRUE(driver_->Packets().empty());
}

// The script commands are the upload's (Blue is device LED 0; 10 ms is the step itself plus
// 99 steps of 0.1 ms).
TEST_F(InspectTest, ShowListsTheSequencesAndTheScriptOfOne) {
    EXPECT_EQ(Run({"show"}).out,
              "  N  Name    Steps     Duration\n  0  Marker      1  10.0 ms\n"
              "  2  Flash       1  10.0 ms\n");
    EXPECT_EQ(RunJson({"show"})["sequences"][1],
              Json::parse(R"({"number": 2, "name": "Flash", "steps": 1, "durationMs": 10.0})"));
    EXPECT_EQ(Run({"show", "2", "--script"}).out,
              "Sequence 2 (Flash): 1 step, 10.0 ms\n  step 0: -Off Blue; -Duration 10\n"
              "Script commands (3):\n"
              "    0  01 00 00 01 00 00 00 00 00 00  SetOutputs Blue off\n"
              "    1  00 63 00 00 00 00 00 00 00 00  WaitSteps 99\n"
              "    2  FF 00 00 00 00 00 00 00 00 00  EndOfSequence\n");
    Json json = RunJson({"show", "2", "--script"});
    EXPECT_EQ(json["steps"][0][1].get<std::string>(), "-Duration 10");
    EXPECT_EQ(json["script"][1], Json::parse(R"({"index": 1, "hex": "00 63 00 00 00 00 00 00 00 00",
                              "text": "WaitSteps 99"})"));
}

// The core's TSV with the script walk's summary as a comment line; the same in JSON; the
// picture when asked for.
TEST_F(InspectTest, TimelineListsTheSettingsWithTheScriptCheck) {
    const CliResult result = Run({"timeline", "2", "--svg", File("flash.svg").string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::vector<std::string> lines = Lines(result.out);
    ASSERT_EQ(lines.size(), 13u) << result.out;
    EXPECT_EQ(lines[2], "0.0\tBlue intensity\t200\tinitial");
    EXPECT_EQ(lines[11], "0.0\tBlue\toff\tseq 2 step 0");
    EXPECT_TRUE(lines[12].starts_with("# Script and timeline agree on 1 settings")) << lines[12];
    EXPECT_TRUE(ReadFileBytes(File("flash.svg")).starts_with("<?xml"));
    Json json = RunJson({"timeline", "2"});
    EXPECT_EQ(json["durationMs"], 10.0);
    EXPECT_EQ(json["events"].size(), 1u);
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
    const std::string device = (PortDirectory() / name).string();
    EXPECT_EQ(Run({"ports"}).out, "Other adapter (COM9)  " + other + "\n" + name + "  " + device +
                                      "  <- Zavik Driver, port 4\nConnecting uses port 4.\n");
    Json json = RunJson({"ports"});
    EXPECT_EQ(json["ports"][0]["portNumber"], nullptr);
    EXPECT_EQ(json["ports"][1],
              Json({{"name", name},
                    {"device", device},
                    {"zavikDriver", true},
                    {"portNumber", 4},
                    {"unusable", nullptr}}));
    EXPECT_EQ(json["discoveredPort"], 4);
    EXPECT_TRUE(DataDirectories().empty());
}

// Scripts start ostra-cli several times a second: a run whose dated directory exists already
// takes a numbered one. The plain names of every second around now are taken first.
TEST_F(InspectTest, ARunWithinTheSameSecondGetsADataDirectoryOfItsOwn) {
    for (std::time_t t = std::time(nullptr) - 2, end = t + 32; t <= end; ++t) {
        char stamp[64];
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", std::localtime(&t));
        std::filesystem::create_directories(ProductDirectory() / stamp);
    }
    Json json = RunJson({"show"});
    const std::filesystem::path directory = json["dataDirectory"].get<std::string>();
    EXPECT_EQ(directory.parent_path(), ProductDirectory());
    EXPECT_TRUE(directory.filename().string().ends_with("_2")) << directory;
    EXPECT_EQ(json["logFile"].get<std::string>(), (directory / "OstraLogFile.txt").string());
    EXPECT_TRUE(std::filesystem::exists(directory / "OstraLogFile.txt"));
}

}  // namespace
