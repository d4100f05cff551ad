#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/FileBytes.h"
#include "tools/ostra-cli/CliFixture.h"

namespace {

using Arguments = std::vector<std::string>;
using Json = nlohmann::ordered_json;

// Written by hand: a save would lay it out differently, so any write shows in its bytes.
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
    for (const auto& directory : DataDirectories())
        EXPECT_FALSE(std::filesystem::exists(directory / "OstraSettings.cfg")) << directory;
    EXPECT_TRUE(driver_->Packets().empty());
}

// The upload's script commands (Blue is device LED 0; 10 ms: the step plus 99 of 0.1 ms).
TEST_F(InspectTest, ShowListsTheSequencesAndTheScriptOfOne) {
    EXPECT_EQ(Run({"show"}).out,
              "  N  Name    Steps     Duration\n  0  Marker      1  10.0 ms\n"
              "  2  Flash       1  10.0 ms\n");
    EXPECT_EQ(Run({"show", "2", "--script"}).out,
              "Sequence 2 (Flash): 1 step, 10.0 ms\n  step 0: -Off Blue; -Duration 10\n"
              "Script commands (3):\n"
              "    0  01 00 00 01 00 00 00 00 00 00  SetOutputs Blue off\n"
              "    1  00 63 00 00 00 00 00 00 00 00  WaitSteps 99\n"
              "    2  FF 00 00 00 00 00 00 00 00 00  EndOfSequence\n");
    EXPECT_EQ(RunJson({"show", "2", "--script"})["script"][1],
              Json::parse(R"({"index": 1, "hex": "00 63 00 00 00 00 00 00 00 00",
                              "text": "WaitSteps 99"})"));
}

// The core's TSV with the script walk's summary as a comment line, in JSON too; the picture.
TEST_F(InspectTest, TimelineListsTheSettingsWithTheScriptCheck) {
    const ProcessResult result = Run({"timeline", "2", "--svg", File("flash.svg").string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::vector<std::string> lines = Lines(result.out);
    ASSERT_EQ(lines.size(), 13u) << result.out;
    EXPECT_TRUE(lines[12].starts_with("# Script and timeline agree on 1 settings")) << lines[12];
    EXPECT_TRUE(ReadFileBytes(File("flash.svg")).starts_with("<?xml"));
    EXPECT_EQ(RunJson({"timeline", "2"})["scriptCheck"].get<std::string>(), lines[12].substr(2));
}

}  // namespace
