#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/FileBytes.h"
#include "tools/ostra-cli/CliFixture.h"

namespace {

using FileCommandsTest = CliFixture;

const std::string kSettings =
    "-SetIntensity Red 90\n"
    "-AddSequence 1 \"Flash\"\n"
    "-AddSequenceCommandSet 1 0\n-AddSequenceCommand 1 0 \"-On Red\"\n"
    "-AddSequenceCommand 1 0 \"-Duration 20\"\n"
    "-AddSequenceCommandSet 1 1\n-AddSequenceCommand 1 1 \"-Off Red\"\n";

// The sequence section the settings above are saved with.
const std::string kFlashSection =
    "#Sequence Container Settings\r\n"
    "-AddSequence 1 \"Flash\"\r\n"
    "\r\n"
    "#Sequence 1 commands.\r\n"
    "-AddSequenceCommandSet 1 0\r\n"
    "-AddSequenceCommand 1 0 \"-On Red\"\r\n"
    "-AddSequenceCommand 1 0 \"-Duration 20\"\r\n"
    "-AddSequenceCommandSet 1 1\r\n"
    "-AddSequenceCommand 1 1 \"-Off Red\"\r\n"
    "\r\n"
    "\r\n";

TEST_F(FileCommandsTest, ExportAndImportRoundTripASequence) {
    WriteSettings(kSettings);
    const std::string file = File("flash.cfg").string();
    const CliResult exported = Run({"export", "1", file});
    EXPECT_EQ(exported.exitCode, 0) << exported.err;
    EXPECT_EQ(Lines(exported.out),
              (std::vector<std::string>{"Exported sequence 1 (Flash) to " + file + "."}));
    EXPECT_EQ(ReadFileBytes(file),
              "-AddSequenceCommandSet 1 0\r\n-AddSequenceCommand 1 0 \"-On Red\"\r\n"
              "-AddSequenceCommand 1 0 \"-Duration 20\"\r\n-AddSequenceCommandSet 1 1\r\n"
              "-AddSequenceCommand 1 1 \"-Off Red\"\r\n\r\n");

    const CliResult imported = Run({"import", "5", "Second flash", file});
    EXPECT_EQ(imported.exitCode, 0) << imported.err;
    EXPECT_EQ(Lines(imported.out),
              (std::vector<std::string>{"Imported sequence 5 (Second flash) from " + file +
                                        ": 2 steps, 20.1 ms."}));
    const std::string saved = ReadFileBytes(SettingsFile());
    EXPECT_NE(saved.find("-AddSequence 5 \"Second flash\"\r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("-AddSequenceCommand 5 1 \"-Off Red\"\r\n"), std::string::npos);
}

TEST_F(FileCommandsTest, ImportRefusesAUsedNumberAndKeepsItsSequence) {
    WriteSettings(kSettings);
    WriteFileBytes(File("steps.cfg"),
                   "-AddSequenceCommandSet 0 0\n-AddSequenceCommand 0 0 \"-Off Blue\"\n");
    const CliResult result = Run({"import", "1", "Other", File("steps.cfg").string()});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_NE(result.err.find("ostra-cli: Sequence 1 (Flash) is already defined; choose a free "
                              "number.\n"),
              std::string::npos)
        << result.err;
    EXPECT_EQ(ReadFileBytes(SettingsFile()), kSettings);
}

// A file that fails part-way leaves no sequence behind, as the window's load does.
TEST_F(FileCommandsTest, AnImportThatFailsPartWayLeavesNothing) {
    WriteSettings(kSettings);
    WriteFileBytes(File("steps.cfg"),
                   "-AddSequenceCommandSet 0 0\n"
                   "-AddSequenceCommand 0 0 \"-Off Blue\"\n"
                   "-AddSequenceCommand 0 0 \"-On Purple\"\n");
    const CliResult result = Run({"import", "2", "Broken", File("steps.cfg").string()});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_NE(result.err.find("Purple"), std::string::npos) << result.err;
    EXPECT_EQ(ReadFileBytes(SettingsFile()), kSettings);
}

TEST_F(FileCommandsTest, ExportRefusesASequenceThatIsNotDefined) {
    const CliResult result = Run({"export", "3", File("out.cfg").string()});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_FALSE(std::filesystem::exists(File("out.cfg")));
}

TEST_F(FileCommandsTest, OpenSettingsReplacesTheSequences) {
    WriteSettings("-AddSequence 9 \"Old\"\n");
    WriteFileBytes(File("new.cfg"), kSettings);
    const CliResult result = Run({"open-settings", File("new.cfg").string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(Lines(result.out),
              (std::vector<std::string>{"Opened settings file " + File("new.cfg").string() + ".",
                                        "1 sequence."}));
    const std::string saved = ReadFileBytes(SettingsFile());
    EXPECT_NE(saved.find("-SetIntensity \"Red\" 90\r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find(kFlashSection), std::string::npos) << saved;
}

// What ran before the failing line would otherwise be saved over the operator's file.
TEST_F(FileCommandsTest, ASettingsFileThatFailsIsNotSaved) {
    const std::string before = "-AddSequence 9 \"Old\"\n";
    WriteSettings(before);
    WriteFileBytes(File("bad.cfg"), "-AddSequence 2 \"New\"\n-SetIntensity Purple 3\n");
    const std::string file = File("bad.cfg").string();
    const CliResult result = Run({"open-settings", file});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_NE(result.err.find("ostra-cli: " + file +
                              ":2: the file stopped at this line: -SetIntensity Purple 3\n"),
              std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("ostra-cli: The settings were not saved.\n"), std::string::npos);
    EXPECT_EQ(ReadFileBytes(SettingsFile()), before);
}

TEST_F(FileCommandsTest, SaveSettingsWritesBothSections) {
    WriteSettings(kSettings);
    const std::string file = File("copy.cfg").string();
    const CliResult result = Run({"save-settings", file});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::string copy = ReadFileBytes(file);
    EXPECT_EQ(copy.rfind("#Micro Controller Settings\r\n-SetMicroControllerPortNumber 4\r\n", 0),
              0u);
    EXPECT_TRUE(copy.ends_with(kFlashSection)) << copy;
    EXPECT_EQ(ReadFileBytes(SettingsFile()), kSettings);
    EXPECT_EQ(Run({"save-settings", File("missing/dir/copy.cfg").string()}).exitCode, 3);
}

// The import worked, but its result never reached the disk: that is a failure.
TEST_F(FileCommandsTest, AFailedSaveFailsTheCommand) {
    std::filesystem::create_directories(SettingsFile());
    WriteFileBytes(File("steps.cfg"),
                   "-AddSequenceCommandSet 0 0\n-AddSequenceCommand 0 0 \"-Off Blue\"\n");
    const CliResult result = Run({"--json", "import", "1", "Lost", File("steps.cfg").string()});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_NE(result.out.find("\"ok\":false"), std::string::npos) << result.out;
    EXPECT_NE(result.err.find("ostra-cli: Error: Error creating settings file(" +
                              SettingsFile().string() + ").  File could not be created.\n"),
              std::string::npos)
        << result.err;
}

}  // namespace
