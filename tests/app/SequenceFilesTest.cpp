#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/SequenceFiles.h"
#include "foundation/TextConversion.h"
#include "sequences/ContainerFixture.h"
#include "sequences/SequenceContainer.h"
#include "support/DirectoryEntries.h"
#include "support/FileBytes.h"

namespace {

using testing::ElementsAre, testing::IsEmpty;

const std::vector<CommandSet> kSequence3Steps = {{L"-SetIntensity Blue 200", L"-Duration 50"},
                                                 {L"-Off Blue"}};
const std::string kSequence3File =
    "-AddSequenceCommandSet 3 0\r\n-AddSequenceCommand 3 0 \"-SetIntensity Blue 200\"\r\n"
    "-AddSequenceCommand 3 0 \"-Duration 50\"\r\n-AddSequenceCommandSet 3 1\r\n"
    "-AddSequenceCommand 3 1 \"-Off Blue\"\r\n\r\n";

class SequenceFilesTest : public ContainerFixture {
  protected:
    int Save(std::uint32_t number, const std::wstring& path) {
        return SequenceFiles::SaveSequenceFile(container, number, path, &log).Ok() ? 0 : -1;
    }
    int Load(std::uint32_t number, const std::wstring& name, const std::string& file) {
        WriteFileBytes(dir.Path() / "in.cfg", file);
        lastLoad =
            SequenceFiles::ImportSequenceFile(container, number, name, dir.File("in.cfg"), &log);
        return lastLoad.Ok() ? 0 : -1;
    }
    // The reader logs every line it takes from a file.
    bool AnyLineWasRead() const {
        return log.Text().find(L"Processing line(") != std::wstring::npos;
    }

    OperationResult lastLoad = OperationResult::Success();
};

// Names first, then each block in ascending order (defined out of order here); a step without
// commands keeps its line, or the steps after it would shift when the file is read back.
TEST_F(SequenceFilesTest, SectionListsNamesThenEachBlockInAscendingOrder) {
    EXPECT_EQ(SequenceFiles::SettingsSection(container),
              L"#Sequence Container Settings\r\n\r\n\r\n");
    Define(3, L"Second Block", kSequence3Steps);
    Define(0, L"Gap", {{L"-On Red"}, {}, {L"-Off Red"}});
    Define(254, L"Empty", {});
    EXPECT_EQ(SequenceFiles::SettingsSection(container),
              L"#Sequence Container Settings\r\n-AddSequence 0 \"Gap\"\r\n"
              L"-AddSequence 3 \"Second Block\"\r\n-AddSequence 254 \"Empty\"\r\n\r\n"
              L"#Sequence 0 commands.\r\n-AddSequenceCommandSet 0 0\r\n"
              L"-AddSequenceCommand 0 0 \"-On Red\"\r\n-AddSequenceCommandSet 0 1\r\n"
              L"-AddSequenceCommandSet 0 2\r\n-AddSequenceCommand 0 2 \"-Off Red\"\r\n\r\n"
              L"#Sequence 3 commands.\r\n" +
                  NarrowToWide(kSequence3File) + L"#Sequence 254 commands.\r\n\r\n\r\n");
}

// A save writes the steps only, replacing the file wholly, and an import reads them back
// unchanged under the number and name it is given.
TEST_F(SequenceFilesTest, SaveWritesTheStepsAndLoadReadsThemBack) {
    const std::vector<CommandSet> steps = {
        {L"-Loop 3"}, {L"-TTLHigh 4", L"-Duration 0.5"}, {L"-EndLoop"}, {}, {L"-Call 3"}};
    Define(3, L"Example", kSequence3Steps);
    Define(20, L"Outer", steps);
    WriteFileBytes(dir.Path() / "seq3.cfg", std::string(5000, 'x'));
    EXPECT_EQ(Save(3, dir.File("seq3.cfg")), 0);
    EXPECT_EQ(ReadFileBytes(dir.Path() / "seq3.cfg"), kSequence3File);
    EXPECT_EQ(Save(7, dir.File("free.cfg")), 0);
    EXPECT_EQ(ReadFileBytes(dir.Path() / "free.cfg"), "\r\n");
    ASSERT_EQ(Save(20, dir.File("outer.cfg")), 0);
    ResetRecords();
    ASSERT_EQ(Load(21, L"Outer Copy", ReadFileBytes(dir.Path() / "outer.cfg")), 0);
    EXPECT_EQ(container.GetSequenceName(21), L"Outer Copy");
    EXPECT_EQ(container.GetCommandSets(21), steps);
    EXPECT_EQ(container.GetCommandSets(20), steps);
    EXPECT_EQ(changes, 11);  // the sequence, five sets and five commands
    // Written by hand: comments, blank lines, variables and words in any case.
    EXPECT_EQ(Load(12, L"Hand",
                   "# written by hand\n\n%SET = 0\n"
                   "-addsequencecommandset 99 %SET   // the 99 is not used\n"
                   "-ADDSEQUENCECOMMAND 99 %SET \"-On Green\"\n"),
              0);
    EXPECT_EQ(container.GetCommandSets(12), std::vector<CommandSet>{{L"-On Green"}});
    EXPECT_THAT(log.Errors(), IsEmpty());

    const std::wstring missing = dir.File("no-such-directory/seq.cfg");
    EXPECT_EQ(Save(255, dir.File("none.cfg")), -1);
    EXPECT_EQ(Save(3, missing), -1);
    ASSERT_EQ(log.Errors().size(), 2u);  // the first the model's own
    EXPECT_EQ(log.Errors()[1], L"Error creating stimulus sequence command file(" + missing +
                                   L").  File could not be created.");
    EXPECT_THAT(DirectoryEntries(dir.Path()),
                ElementsAre("free.cfg", "in.cfg", "outer.cfg", "seq3.cfg", "sequences.txt"));
}

// The failing line ends the import with its one message, named with the file and line, and
// nothing of the file stays; a bad number or a taken name fails before any line is read.
TEST_F(SequenceFilesTest, LoadStopsAtTheFailingLineAndKeepsNothing) {
    const std::string firstStep =
        "-AddSequenceCommandSet 3 0\r\n-AddSequenceCommand 3 0 \"-On Blue\"\r\n";
    const struct {
        std::string file;  // "absent" for a file that is not there
        int line;          // 0: before any line is read
        std::wstring message;
        std::uint32_t number = 8;
        std::wstring name = L"Copy";
    } cases[] = {
        {"-AddSequence 3 \"Example\"\r\n" + firstStep, 1,
         L"Error loading sequence file, unrecognized command(-AddSequence) found."},
        {firstStep + "\"\" 3 0\r\n", 3,
         L"FormatCmdLine::ProcessLine() - Error, Invalid Syntax, unable to determine what type of "
         L"line to process."},
        {firstStep + "-AddSequenceCommandSet 3 1\r\n-AddSequenceCommand 3 1 \"-Call 40\"\r\n", 4,
         L"Error verifying -Call command, the sequence number(40) at index 0 is invalid.  There is "
         L"not a valid sequence at the sequence number specified."},
        {"absent", 0,
         L"FormatCmdLine::OpenFileCfg() - Could not find the file " + dir.File("absent.cfg") +
             L"."},
        // The model's own message, pinned with the model.
        {kSequence3File, 0, L"", 255},
        {kSequence3File, 0, L"", 8, L"taken"},
    };
    Define(0, L"Taken", {});
    for (const auto& c : cases) {
        const ModelSnapshot before = TakeSnapshot(container);
        log.messages.clear();
        if (c.file == "absent") {
            lastLoad = SequenceFiles::ImportSequenceFile(container, 8, L"Copy",
                                                         dir.File("absent.cfg"), &log);
        } else {
            EXPECT_EQ(Load(c.number, c.name, c.file), -1);
        }
        ASSERT_EQ(log.Errors().size(), 1u);
        const std::wstring message = c.message.empty() ? log.Errors().front() : c.message;
        EXPECT_EQ(log.Errors().front(), message);
        EXPECT_EQ(lastLoad.Message(), c.line == 0 ? message
                                                  : dir.File("in.cfg") + L":" +
                                                        std::to_wstring(c.line) + L": " + message);
        EXPECT_EQ(AnyLineWasRead(), c.line != 0);
        EXPECT_EQ(TakeSnapshot(container), before);
    }
}

}  // namespace
