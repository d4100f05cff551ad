#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/ConfigFileSurvey.h"
#include "app/ProtocolCheck.h"
#include "foundation/TextConversion.h"
#include "sequences/SequenceContainer.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

namespace {

using Kind = ConfigFileSurvey::Kind;

// Each file is judged by its command words; a sequence file also gives the numbers it names.
// Bad lines are left to the check itself; a missing file to the settings reader.
TEST(ConfigFileSurveyTest, JudgesTheFileByItsCommandWords) {
    const struct {
        std::string content;
        Kind kind;
        std::set<std::uint32_t> numbers;
    } cases[] = {
        {"# setup\n-addled Blue 12.5\n-SetMicroControllerPortNumber 4\n", Kind::Setup, {}},
        {"-SetIntensity Blue 3\n-AddSequence 0 \"A\"\n-AddSequenceCommandSet 0 0\n",
         Kind::Settings,
         {}},
        {"# steps\r\n-AddSequenceCommandSet 3 0\r\n-AddSequenceCommand 254 0 \"-Off Blue\"\r\n"
         "-AddSequenceCommandSet 255 0\r\n-AddSequenceCommandSet -1 0\r\n",
         Kind::Sequence,
         {3, 254}},
        {"%N = 5\n-AddSequenceCommandSet %N 0\nnot a command\n-AddSequenceCommand 5 0 \"x\n",
         Kind::Sequence,
         {5}},
        {"-AddSequenceCommandSet 1 0\n-Break\n-SetIntensity Blue 3\n", Kind::Sequence, {1}},
        {"# nothing\n\n", Kind::Settings, {}},
    };
    TempDir dir;
    for (const auto& c : cases) {
        WriteFileBytes(dir.Path() / "file.cfg", c.content);
        const ConfigFileSurvey survey = ConfigFileSurvey::Of(dir.File("file.cfg"));
        EXPECT_EQ(survey.kind, c.kind) << c.content;
        EXPECT_EQ(survey.sequenceNumbers, c.numbers) << c.content;
    }
    EXPECT_EQ(ConfigFileSurvey::Of(dir.File("missing.cfg")).kind, Kind::Settings);
}

// Sequence files are checked as an import reads them, each beside the same sequences: one
// file checked does not stand in the way of the next, and a -Break is refused as by an import.
TEST(ProtocolCheckTest, ChecksSequenceFilesOneAfterAnotherAsImportsWouldRead) {
    const std::string samples = std::string(OSTRA_SOURCE_DIR) + "/samples/sequences/";
    TempDir dir;
    WriteFileBytes(dir.Path() / "break.cfg", "-AddSequenceCommandSet 1 0\n-Break\n");
    SequenceContainer operatorSequences;
    ProtocolCheck check(NarrowToWide(std::string(OSTRA_SOURCE_DIR) + "/data/OstraSetup.cfg"),
                        operatorSequences);
    for (const char* name : {"RedFlashes.cfg", "PairedPulse.cfg", "RedFlashes.cfg"}) {
        const ProtocolCheck::FileResult result = check.CheckFile(NarrowToWide(samples + name));
        EXPECT_TRUE(result.Ok()) << name << ": "
                                 << WideToNarrow(result.findings.front().reasons.front());
        EXPECT_EQ(result.sequences.size(), 1u) << name;
    }
    const ProtocolCheck::FileResult refused = check.CheckFile(dir.File("break.cfg"));
    ASSERT_EQ(refused.findings.size(), 1u);
    EXPECT_EQ(refused.findings.front().lineNumber, 2);
}

}  // namespace
