#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/FileBytes.h"
#include "tools/ostra-cli/CliFixture.h"

namespace {

using FileCommandsTest = CliFixture;

// Written by hand: a save lays it out differently (CR LF, quoted labels), so a write shows.
const std::string kSettings =
    "-SetIntensity Red 90\n-AddSequence 1 \"Flash\"\n"
    "-AddSequenceCommandSet 1 0\n-AddSequenceCommand 1 0 \"-On Red\"\n"
    "-AddSequenceCommand 1 0 \"-Duration 20\"\n"
    "-AddSequenceCommandSet 1 1\n-AddSequenceCommand 1 1 \"-Off Red\"\n";

// An export saves only the run's closing copy; an import (of what was exported: the file's bytes
// are the sequence files' tests') saves the settings.
TEST_F(FileCommandsTest, ExportImportAndSaveACopy) {
    WriteSettings(kSettings);
    const std::string file = File("flash.cfg").string();
    EXPECT_EQ(Run({"export", "1", file}).out, "Exported sequence 1 (Flash) to " + file + ".\n");
    EXPECT_EQ(ReadFileBytes(SettingsFile()), kSettings);
    ASSERT_EQ(DataDirectories().size(), 1u);
    EXPECT_THAT(ReadFileBytes(DataDirectories()[0] / "OstraSettings.cfg"),
                HasSubstr("\"Red\" 90\r\n"));

    const ProcessResult imported = Run({"import", "5", "Second flash", file});
    EXPECT_EQ(imported.out,
              "Imported sequence 5 (Second flash) from " + file + ": 2 steps, 20.1 ms.\n");
    EXPECT_THAT(ReadFileBytes(SettingsFile()),
                HasSubstr("-AddSequenceCommand 5 1 \"-Off Red\"\r\n"));
    // A copy of both sections.
    const std::string copy = File("copy.cfg").string();
    EXPECT_EQ(Run({"save-settings", copy}).out,
              "Saved the settings to " + copy + ".\n2 sequences.\n");
    EXPECT_THAT(ReadFileBytes(copy), StartsWith("#Micro Controller Settings\r\n"));
}

// A file that fails part-way is not saved over the operator's.
TEST_F(FileCommandsTest, OpenSettingsReplacesTheSequencesOrSavesNothing) {
    WriteSettings("-AddSequence 9 \"Old\"\n");
    const std::string bad = File("bad.cfg").string();
    WriteFileBytes(bad, "-AddSequence 2 \"New\"\n-SetIntensity Purple 3\n");
    const ProcessResult failed = Run({"open-settings", bad});
    EXPECT_EQ(failed.exitCode, 3);
    EXPECT_THAT(failed.err, HasSubstr("ostra-cli: " + bad +
                                      ":2: the file stopped at this line: -SetIntensity Purple 3\n"
                                      "ostra-cli: The settings were not saved.\n"));
    EXPECT_EQ(ReadFileBytes(SettingsFile()), "-AddSequence 9 \"Old\"\n");

    WriteFileBytes(File("new.cfg"), kSettings);
    EXPECT_EQ(Run({"open-settings", File("new.cfg").string()}).out,
              "Opened settings file " + File("new.cfg").string() + ".\n1 sequence.\n");
    EXPECT_THAT(
        ReadFileBytes(SettingsFile()),
        testing::AllOf(HasSubstr("-AddSequence 1 \"Flash\"\r\n"), testing::Not(HasSubstr("Old"))));
}

// The import worked, but its result never reached the disk: that is a failure.
TEST_F(FileCommandsTest, AFailedSaveFailsTheCommand) {
    std::filesystem::create_directories(SettingsFile());
    WriteFileBytes(File("steps.cfg"), "-AddSequenceCommandSet 0 0\n");
    ProcessResult result;
    EXPECT_EQ(RunJson({"import", "1", "Lost", File("steps.cfg").string()}, &result)["ok"], false);
    EXPECT_EQ(result.exitCode, 3) << result.err;
}

}  // namespace
