#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/FileBytes.h"
#include "tools/ostra-cli/CliFixture.h"

namespace {

using CheckTest = CliFixture;

// Every failing line is reported, each with the message the models logged for it, and the
// lines between them still run (the intensity of line 1 is not what makes line 6 fail).
TEST_F(CheckTest, ReportsEveryFailingLineWithItsLoggedReason) {
    WriteFileBytes(File("bad.cfg"),
                   "-SetIntensity Blue 100\n"
                   "-SetIntensity Purple 3\n"
                   "# a comment\n"
                   "-AddSequence 0 \"A\"\n"
                   "-AddSequenceCommandSet 0 0\n"
                   "-AddSequenceCommand 0 0 \"-Duration 0\"\n"
                   "not a command\n"
                   "-AddSequenceCommand 0 0 \"-On Blue\"\n"
                   "-SetIntensity Red 256\r\n");
    const std::string file = File("bad.cfg").string();
    const CliResult result = Run({"check", file});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(Lines(result.out),
              (std::vector<std::string>{
                  file + ":2: Error validating color value(Purple), the color does not exist.",
                  file + ":6: Error verifying -Duration command, the duration(0.0) is out of "
                         "range(0.1...1800000.0).",
                  file + ":7: FormatCmdLine::ProcessLine() - Error, Invalid Syntax, unable to "
                         "determine what type of line to process.",
                  file + ":9: Error setting Red intensity, the value(256) is out of "
                         "range(0..255).",
                  file + ": 4 failures"}));
    // The findings are the report; standard error only says where the log is.
    EXPECT_EQ(Lines(result.err).size(), 1u) << result.err;
}

TEST_F(CheckTest, GivesEachFailureAsJson) {
    WriteFileBytes(File("bad.cfg"), "-SetIntensity Purple 3\n-SetLEDPulse Blue 0 90 0\n");
    CliResult result;
    nlohmann::ordered_json json = RunJson({"check", File("bad.cfg").string()}, &result);
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(json["command"].get<std::string>(), "check");
    EXPECT_EQ(json["ok"], false);
    EXPECT_EQ(json["exitCode"], 3);
    ASSERT_EQ(json["files"].size(), 1u);
    nlohmann::ordered_json& checked = json["files"][0];
    EXPECT_EQ(checked["file"].get<std::string>(), File("bad.cfg").string());
    EXPECT_EQ(checked["kind"].get<std::string>(), "settings");
    EXPECT_EQ(checked["ok"], false);
    ASSERT_EQ(checked["failures"].size(), 2u);
    nlohmann::ordered_json& second = checked["failures"][1];
    EXPECT_EQ(second["line"], 2);
    EXPECT_EQ(second["text"].get<std::string>(), "-SetLEDPulse Blue 0 90 0");
    ASSERT_EQ(second["reasons"].size(), 1u);
    EXPECT_EQ(second["reasons"][0].get<std::string>(),
              "Error setting Blue pulse parameters.  The pulse width on value(0.0)is out of range "
              "(0.1...1800000.0 ms).");
    EXPECT_TRUE(checked["sequences"].empty());
}

TEST_F(CheckTest, ShowsEverySequencesDurationOfAGoodFile) {
    WriteFileBytes(File("good.cfg"),
                   "-AddSequence 0 \"Marker\"\n-AddSequence 1 \"Twice\"\n"
                   "-AddSequenceCommandSet 0 0\n-AddSequenceCommand 0 0 \"-TTLHigh 3\"\n"
                   "-AddSequenceCommand 0 0 \"-Duration 10\"\n"
                   "-AddSequenceCommandSet 0 1\n-AddSequenceCommand 0 1 \"-TTLLow 3\"\n"
                   "-AddSequenceCommandSet 0 2\n-AddSequenceCommand 0 2 \"-Duration 2.5\"\n"
                   "-AddSequenceCommandSet 1 0\n-AddSequenceCommand 1 0 \"-Loop 2\"\n"
                   "-AddSequenceCommandSet 1 1\n-AddSequenceCommand 1 1 \"-Call 0\"\n"
                   "-AddSequenceCommandSet 1 2\n-AddSequenceCommand 1 2 \"-EndLoop\"\n");
    const std::string file = File("good.cfg").string();
    const CliResult result = Run({"check", file});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(Lines(result.out),
              (std::vector<std::string>{file + ": settings file OK",
                                        "  sequence 0 (Marker): 12.6 ms, 6 script commands",
                                        "  sequence 1 (Twice): 25.4 ms, 3 script commands"}));
    EXPECT_EQ(result.err, "");
}

// A step whose commands cannot share one script command passes the line checks; the upload's
// conversion is what refuses it.
TEST_F(CheckTest, ReportsASequenceTheUploadCouldNotConvert) {
    WriteFileBytes(File("mixed.cfg"),
                   "-AddSequence 4 \"Mixed\"\n-AddSequenceCommandSet 4 0\n"
                   "-AddSequenceCommand 4 0 \"-SetIntensity Blue 10\"\n"
                   "-AddSequenceCommand 4 0 \"-On Blue\"\n");
    const std::string file = File("mixed.cfg").string();
    const CliResult result = Run({"check", file});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(Lines(result.out),
              (std::vector<std::string>{file + ": sequence 4: Error updating Op Code for -On "
                                               "command, it conflicts with the current op "
                                               "code(10).",
                                        file + ": 1 failure"}));
}

TEST_F(CheckTest, ReportsAFileThatCannotBeRead) {
    const std::string file = File("missing.cfg").string();
    const CliResult result = Run({"check", file});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(Lines(result.out),
              (std::vector<std::string>{
                  file + ": FormatCmdLine::OpenFileCfg() - Could not find the file " + file + ".",
                  file + ": 1 failure"}));
}

// A sequence file is read as an import would read it: its calls reach the operator's
// sequences, and the number written in the file is not the operator's sequence of that number
// (here sequence 7 calls 3, and the file saved from another sequence 3 calls 7: no cycle).
TEST_F(CheckTest, ReadsASequenceFileBesideTheOperatorsSequences) {
    WriteSettings(
        "-AddSequence 3 \"Flash\"\n-AddSequence 7 \"Wrapper\"\n"
        "-AddSequenceCommandSet 3 0\n-AddSequenceCommand 3 0 \"-On Blue\"\n"
        "-AddSequenceCommandSet 7 0\n-AddSequenceCommand 7 0 \"-Call 3\"\n");
    const std::string settingsBefore = ReadFileBytes(SettingsFile());
    WriteFileBytes(File("calls.cfg"),
                   "-AddSequenceCommandSet 3 0\n-AddSequenceCommand 3 0 \"-Call 7\"\n"
                   "-AddSequenceCommandSet 3 1\n-AddSequenceCommand 3 1 \"-Duration 5\"\n");
    WriteFileBytes(File("orphan.cfg"),
                   "-AddSequenceCommandSet 2 0\n-AddSequenceCommand 2 0 \"-Call 9\"\n");
    const std::string calls = File("calls.cfg").string();
    const std::string orphan = File("orphan.cfg").string();
    const CliResult result = Run({"check", orphan, calls});
    EXPECT_EQ(result.exitCode, 3);
    const std::vector<std::string> lines = Lines(result.out);
    ASSERT_EQ(lines.size(), 4u) << result.out;
    EXPECT_EQ(lines[0].rfind(orphan + ":2: Error", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1], orphan + ": 1 failure");
    EXPECT_EQ(lines[2], calls + ": sequence file OK");
    EXPECT_EQ(lines[3], "  sequence 3: 5.3 ms, 4 script commands");
    EXPECT_EQ(ReadFileBytes(SettingsFile()), settingsBefore);
}

TEST_F(CheckTest, ReadsLaterFilesIntoTheModelsOfEarlierOnes) {
    WriteFileBytes(File("settings.cfg"),
                   "-AddSequence 1 \"Marker\"\n-AddSequenceCommandSet 1 0\n"
                   "-AddSequenceCommand 1 0 \"-TTLHigh 3\"\n");
    WriteFileBytes(File("steps.cfg"),
                   "-AddSequenceCommandSet 0 0\n-AddSequenceCommand 0 0 \"-Call 1\"\n");
    const CliResult result =
        Run({"check", File("settings.cfg").string(), File("steps.cfg").string()});
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_EQ(Lines(result.out).back(), "  sequence 0: 0.2 ms, 2 script commands");
}

TEST_F(CheckTest, ChecksASetupFileFromAnEmptyDeviceModel) {
    WriteFileBytes(File("setup.cfg"), "-AddLED Blue\n-AddLED Green\n-AddLED Red\n-AddLED UV\n");
    const std::string file = File("setup.cfg").string();
    const CliResult result = Run({"check", file});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(Lines(result.out),
              (std::vector<std::string>{file + ":4: Error adding LED color, the maximum number "
                                               "of LEDs has been reached (3).",
                                        file + ": 1 failure"}));
}

}  // namespace
