#include <gtest/gtest.h>

#include <filesystem>
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
          Arguments{"timeline", "2"}})
        EXPECT_EQ(Run(arguments).exitCode, 0) << arguments[0];
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
              "Script commands (3):\n    0  01 00 00 01 00 00 00 00 00 00  SetOutputs Blue off\n"
              "    1  00 63 00 00 00 00 00 00 00 00  WaitSteps 99\n"
              "    2  FF 00 00 00 00 00 00 00 00 00  EndOfSequence\n");
    EXPECT_EQ(RunJson({"show", "2", "--script"})["script"][1],
              Json::parse(R"({"index": 1, "hex": "00 63 00 00 00 00 00 00 00 00",
                              "text": "WaitSteps 99"})"));
}

// The core's TSV with the script walk's summary as a comment line, in JSON too; the picture.
TEST_F(InspectTest, TimelineListsTheSettingsWithTheScriptCheck) {
    const ProcessResult result = RunOk({"timeline", "2", "--svg", File("flash.svg").string()});
    const std::vector<std::string> lines = Lines(result.out);
    ASSERT_EQ(lines.size(), 13u) << result.out;
    EXPECT_TRUE(lines[12].starts_with("# Script and timeline agree on 1 settings")) << lines[12];
    EXPECT_TRUE(ReadFileBytes(File("flash.svg")).starts_with("<?xml"));
    EXPECT_EQ(RunJson({"timeline", "2"})["scriptCheck"].get<std::string>(), lines[12].substr(2));
}

class CheckTest : public CliFixture {
  protected:
    // Sequence files: 3 calls the operator's 7, which calls the operator's 3 (imported as new,
    // no cycle); 0 calls 1 of good.cfg (later files are read into the models of earlier ones).
    CheckTest() {
        WriteSettings(
            "-AddSequence 3 \"Flash\"\n-AddSequence 7 \"Wrapper\"\n"
            "-AddSequenceCommandSet 7 0\n-AddSequenceCommand 7 0 \"-Call 3\"\n");
        for (const auto& [name, text] : std::vector<std::pair<std::string, std::string>>{
                 {"bad.cfg",
                  "-SetIntensity Blue 100\n-SetIntensity Purple 3\n# a comment\n"
                  "-AddSequence 0 \"A\"\n-AddSequenceCommandSet 0 0\nnot a command\n"
                  "-AddSequenceCommand 0 0 \"-On Blue\"\r\n"},
                 {"good.cfg",
                  "-AddSequence 0 \"Marker\"\n-AddSequence 1 \"Twice\"\n"
                  "-AddSequenceCommandSet 0 0\n-AddSequenceCommand 0 0 \"-Duration 10\"\n"
                  "-AddSequenceCommandSet 1 0\n-AddSequenceCommand 1 0 \"-Loop 2\"\n"
                  "-AddSequenceCommandSet 1 1\n-AddSequenceCommand 1 1 \"-Call 0\"\n"
                  "-AddSequenceCommandSet 1 2\n-AddSequenceCommand 1 2 \"-EndLoop\"\n"},
                 // Only the conversion refuses a step whose commands cannot share one record.
                 {"unconvertible.cfg",
                  "-AddSequence 4 \"Mixed\"\n-AddSequenceCommandSet 4 0\n"
                  "-AddSequenceCommand 4 0 \"-SetIntensity Blue 10\"\n"
                  "-AddSequenceCommand 4 0 \"-On Blue\"\n"},
                 {"calls7.cfg",
                  "-AddSequenceCommandSet 3 0\n-AddSequenceCommand 3 0 \"-Call 7\"\n"},
                 {"calls1.cfg",
                  "-AddSequenceCommandSet 0 0\n-AddSequenceCommand 0 0 \"-Call 1\"\n"}})
            WriteFileBytes(File(name), text);
    }

    std::string Path(const std::string& name) const { return File(name).string(); }
};

// Every failing line with the models' message; every good file's sequences; nothing written.
TEST_F(CheckTest, ReportsEveryFailureAndEveryGoodSequence) {
    const std::string settings = ReadFileBytes(SettingsFile());
    std::vector<std::string> arguments{"check"};
    for (const char* name :
         {"calls7.cfg", "bad.cfg", "unconvertible.cfg", "good.cfg", "calls1.cfg"})
        arguments.push_back(Path(name));
    const ProcessResult result = Run(arguments);
    EXPECT_EQ(result.exitCode, 3);
    const std::string bad = Path("bad.cfg");
    EXPECT_EQ(
        Lines(result.out),
        (std::vector<std::string>{
            Path("calls7.cfg") + ": sequence file OK", "  sequence 3: 0.2 ms, 2 script commands",
            bad + ":2: Error validating color value(Purple), the color does not exist.",
            bad + ":6: FormatCmdLine::ProcessLine() - Error, Invalid Syntax, unable to "
                  "determine what type of line to process.",
            bad + ": 2 failures",
            Path("unconvertible.cfg") + ": sequence 4: Error updating Op Code for -On "
                                        "command, it conflicts with the current op code(10).",
            Path("unconvertible.cfg") + ": 1 failure", Path("good.cfg") + ": settings file OK",
            "  sequence 0 (Marker): 10.0 ms, 3 script commands",
            "  sequence 1 (Twice): 20.2 ms, 3 script commands",
            Path("calls1.cfg") + ": sequence file OK",
            "  sequence 0: 20.3 ms, 2 script commands"}));
    // Standard error only says where the log is.
    EXPECT_EQ(Lines(result.err).size(), 1u) << result.err;
    EXPECT_EQ(ReadFileBytes(SettingsFile()), settings);
}

}  // namespace
