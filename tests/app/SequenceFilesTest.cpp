#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "app/SequenceFiles.h"
#include "app/SettingsFileWriter.h"
#include "device/MicroController.h"
#include "foundation/TextConversion.h"
#include "sequences/ContainerFixture.h"
#include "sequences/SequenceContainer.h"
#include "support/DirectoryEntries.h"
#include "support/FileBytes.h"

namespace {

using testing::ElementsAre;
using testing::IsEmpty;


// The sequence 3 of the save example: two steps, the second with one command.
const std::vector<CommandSet> kSequence3Steps = {{L"-SetIntensity Blue 200", L"-Duration 50"},
                                                 {L"-Off Blue"}};

const std::string kSequence3File =
    "-AddSequenceCommandSet 3 0\r\n"
    "-AddSequenceCommand 3 0 \"-SetIntensity Blue 200\"\r\n"
    "-AddSequenceCommand 3 0 \"-Duration 50\"\r\n"
    "-AddSequenceCommandSet 3 1\r\n"
    "-AddSequenceCommand 3 1 \"-Off Blue\"\r\n"
    "\r\n";

class SequenceFilesTest : public ContainerFixture {
  protected:
    // The reader logs every line it takes from a file at Notice.
    bool AnyLineWasRead() const {
        for (const auto& [level, message] : log.messages) {
            if (message.find(L"Processing line(") != std::wstring::npos) {
                return true;
            }
        }
        return false;
    }

    std::filesystem::path PathOf(const std::string& name) const { return dir.Path() / name; }

    int Save(std::uint32_t number, const std::wstring& path) {
        return SequenceFiles::SaveSequenceFile(container, number, path, &log).Ok() ? 0 : -1;
    }
    int Load(std::uint32_t number, const std::wstring& name, const std::wstring& path) {
        lastLoad = SequenceFiles::ImportSequenceFile(container, number, name, path, &log);
        return lastLoad.Ok() ? 0 : -1;
    }
    void CreateSettingsFile(const std::wstring& path, const MicroController* device = nullptr) {
        WriteSettingsFile(path, device != nullptr ? device->GetSettingsSection() : L"",
                          SequenceFiles::SettingsSection(container), &log);
    }

    OperationResult lastLoad = OperationResult::Success();
    std::vector<std::string> FilesInDirectory() const { return DirectoryEntries(dir.Path()); }
};

// --- The sequence section ---------------------------------------------------------------

TEST_F(SequenceFilesTest, EmptyModelGivesHeaderAndTwoEmptyLines) {
    EXPECT_EQ(SequenceFiles::SettingsSection(container),
              L"#Sequence Container Settings\r\n\r\n\r\n");
}

TEST_F(SequenceFilesTest, SectionListsNamesFirstThenEachBlockInAscendingOrder) {
    // Defined out of order, so the ascending order is the writer's doing.
    Define(3, L"Second Block", kSequence3Steps);
    Define(0, L"Train", {{L"-On Blue", L"-Duration 10"}, {L"-Off Blue"}});
    Define(254, L"Empty", {});
    EXPECT_EQ(SequenceFiles::SettingsSection(container),
              L"#Sequence Container Settings\r\n"
              L"-AddSequence 0 \"Train\"\r\n"
              L"-AddSequence 3 \"Second Block\"\r\n"
              L"-AddSequence 254 \"Empty\"\r\n"
              L"\r\n"
              L"#Sequence 0 commands.\r\n"
              L"-AddSequenceCommandSet 0 0\r\n"
              L"-AddSequenceCommand 0 0 \"-On Blue\"\r\n"
              L"-AddSequenceCommand 0 0 \"-Duration 10\"\r\n"
              L"-AddSequenceCommandSet 0 1\r\n"
              L"-AddSequenceCommand 0 1 \"-Off Blue\"\r\n"
              L"\r\n"
              L"#Sequence 3 commands.\r\n"
              L"-AddSequenceCommandSet 3 0\r\n"
              L"-AddSequenceCommand 3 0 \"-SetIntensity Blue 200\"\r\n"
              L"-AddSequenceCommand 3 0 \"-Duration 50\"\r\n"
              L"-AddSequenceCommandSet 3 1\r\n"
              L"-AddSequenceCommand 3 1 \"-Off Blue\"\r\n"
              L"\r\n"
              L"#Sequence 254 commands.\r\n"
              L"\r\n"
              L"\r\n");
}

// A step without commands still has its -AddSequenceCommandSet line, or the steps after it
// would shift when the file is read back.
TEST_F(SequenceFilesTest, EmptyStepKeepsItsLine) {
    Define(5, L"Gap", {{L"-On Red"}, {}, {L"-Off Red"}});
    EXPECT_EQ(SequenceFiles::SettingsSection(container),
              L"#Sequence Container Settings\r\n"
              L"-AddSequence 5 \"Gap\"\r\n"
              L"\r\n"
              L"#Sequence 5 commands.\r\n"
              L"-AddSequenceCommandSet 5 0\r\n"
              L"-AddSequenceCommand 5 0 \"-On Red\"\r\n"
              L"-AddSequenceCommandSet 5 1\r\n"
              L"-AddSequenceCommandSet 5 2\r\n"
              L"-AddSequenceCommand 5 2 \"-Off Red\"\r\n"
              L"\r\n"
              L"\r\n");
}

// The example of a whole settings file: one LED Blue with its defaults, sequence 0 "Train".
TEST_F(SequenceFilesTest, SettingsFileHoldsDeviceSectionThenSequenceSection) {
    MicroController device(&log);
    ASSERT_EQ(device.AddLED(L"Blue", 12.5), 0);
    Define(0, L"Train",
           {{L"-SetIntensity Blue 200", L"-On Blue", L"-Duration 10"}, {L"-Off Blue"}});

    CreateSettingsFile(dir.File("settings.cfg"), &device);

    EXPECT_EQ(ReadFileBytes(PathOf("settings.cfg")),
              OneLEDDeviceSection("Blue") +
                  "#Sequence Container Settings\r\n"
                  "-AddSequence 0 \"Train\"\r\n"
                  "\r\n"
                  "#Sequence 0 commands.\r\n"
                  "-AddSequenceCommandSet 0 0\r\n"
                  "-AddSequenceCommand 0 0 \"-SetIntensity Blue 200\"\r\n"
                  "-AddSequenceCommand 0 0 \"-On Blue\"\r\n"
                  "-AddSequenceCommand 0 0 \"-Duration 10\"\r\n"
                  "-AddSequenceCommandSet 0 1\r\n"
                  "-AddSequenceCommand 0 1 \"-Off Blue\"\r\n"
                  "\r\n"
                  "\r\n");
    EXPECT_THAT(log.Errors(), IsEmpty());
}

// Text is stored as single bytes: a Latin-1 name is one byte, a character beyond it a '?'.
TEST_F(SequenceFilesTest, NamesAreWrittenAsSingleByteText) {
    Define(1, L"Kr\u00e4fte \u20ac", {});
    CreateSettingsFile(dir.File("latin1.cfg"));
    EXPECT_EQ(ReadFileBytes(PathOf("latin1.cfg")),
              "#Sequence Container Settings\r\n"
              "-AddSequence 1 \"Kr\xe4"
              "fte ?\"\r\n"
              "\r\n"
              "#Sequence 1 commands.\r\n"
              "\r\n"
              "\r\n");
}

TEST_F(SequenceFilesTest, SettingsFileThatCannotBeCreatedIsLogged) {
    const std::wstring path = dir.File("missing/settings.cfg");
    CreateSettingsFile(path);
    EXPECT_THAT(log.Errors(), ElementsAre(L"Error creating settings file(" + path +
                                          L").  File could not be created."));
    EXPECT_THAT(FilesInDirectory(), ElementsAre("sequences.txt"));
}

// --- Saving one sequence ----------------------------------------------------------------

TEST_F(SequenceFilesTest, SavedSequenceHoldsItsStepsOnly) {
    Define(3, L"Example", kSequence3Steps);
    EXPECT_EQ(Save(3, dir.File("seq3.cfg")), 0);
    EXPECT_EQ(ReadFileBytes(PathOf("seq3.cfg")), kSequence3File);
    EXPECT_THAT(log.Errors(), IsEmpty());
}

struct EmptySaveCase {
    const char* name;
    std::uint32_t number;
};

void PrintTo(const EmptySaveCase& c, std::ostream* out) {
    *out << c.name;
}

class EmptySequenceSaveTest : public SequenceFilesTest,
                              public testing::WithParamInterface<EmptySaveCase> {};

TEST_P(EmptySequenceSaveTest, GivesJustTheEmptyLine) {
    Define(2, L"No Steps", {});
    EXPECT_EQ(Save(GetParam().number, dir.File("empty.cfg")), 0);
    EXPECT_EQ(ReadFileBytes(PathOf("empty.cfg")), "\r\n");
}

INSTANTIATE_TEST_SUITE_P(Cases, EmptySequenceSaveTest,
                         testing::Values(EmptySaveCase{"FreeSlot", 7}, EmptySaveCase{"NoSteps", 2},
                                         EmptySaveCase{"LastSlot", 254}));

TEST_F(SequenceFilesTest, SaveOfNumberOutOfRangeWritesNothing) {
    EXPECT_EQ(Save(255, dir.File("none.cfg")), -1);
    EXPECT_THAT(log.Errors(), ElementsAre(L"Error validating sequence number.  The sequence "
                                          L"number(255) is out of range(0..254)."));
    EXPECT_THAT(FilesInDirectory(), ElementsAre("sequences.txt"));
}

TEST_F(SequenceFilesTest, SaveThatCannotCreateTheFileIsLogged) {
    Define(3, L"Example", kSequence3Steps);
    // A directory stands where the file should go: it can be neither replaced nor written.
    std::filesystem::create_directory(PathOf("taken.cfg"));
    const std::wstring missing = dir.File("no-such-directory/seq.cfg");
    EXPECT_EQ(Save(3, missing), -1);
    EXPECT_EQ(Save(3, dir.File("taken.cfg")), -1);
    EXPECT_EQ(Save(3, L""), -1);
    EXPECT_THAT(log.Errors(),
                ElementsAre(L"Error creating stimulus sequence command file(" + missing +
                                L").  File could not be created.",
                            L"Error creating stimulus sequence command file(" +
                                dir.File("taken.cfg") + L").  File could not be created.",
                            L"Error creating stimulus sequence command file().  File could not "
                            L"be created."));
    EXPECT_TRUE(std::filesystem::is_directory(PathOf("taken.cfg")));
    EXPECT_THAT(FilesInDirectory(), ElementsAre("sequences.txt", "taken.cfg"));
}

TEST_F(SequenceFilesTest, SaveReplacesAnExistingFileWholly) {
    WriteFileBytes(PathOf("seq.cfg"), std::string(5000, 'x'));
    Define(3, L"Example", kSequence3Steps);
    EXPECT_EQ(Save(3, dir.File("seq.cfg")), 0);
    EXPECT_EQ(ReadFileBytes(PathOf("seq.cfg")), kSequence3File);
    EXPECT_THAT(FilesInDirectory(), ElementsAre("seq.cfg", "sequences.txt"));
}

// --- Upload snapshots ------------------------------------------------------------------

// --- Loading one sequence ---------------------------------------------------------------

TEST_F(SequenceFilesTest, LoadedFileDefinesTheSequenceUnderTheGivenNumberAndName) {
    WriteFileBytes(PathOf("seq3.cfg"), kSequence3File);
    Define(0, L"Other", {{L"-Off Red"}});
    ResetRecords();

    EXPECT_EQ(Load(8, L"Copy", dir.File("seq3.cfg")), 0);

    EXPECT_EQ(container.GetSequenceName(8), L"Copy");
    EXPECT_EQ(container.GetCommandSets(8), kSequence3Steps);
    EXPECT_EQ(container.GetSequenceName(3), L"");
    EXPECT_EQ(container.GetCommandSets(0), (std::vector<CommandSet>{{L"-Off Red"}}));
    EXPECT_THAT(log.Errors(), IsEmpty());
    // The sequence, two sets and three commands, each change announced.
    EXPECT_EQ(changes, 6);
}

// Files written by hand: the reader drops comments and blank lines and applies variables,
// and the command words are matched without regard to case.
TEST_F(SequenceFilesTest, LoadReadsHandWrittenFiles) {
    WriteFileBytes(PathOf("hand.cfg"),
                   "# written by hand\n"
                   "\n"
                   "%SET = 0\n"
                   "-addsequencecommandset 99 %SET   // the 99 is not used\n"
                   "-ADDSEQUENCECOMMAND 99 %SET \"-SetIntensity Green 120\"\n"
                   "-AddSequenceCommand 99 0 \"-On Green\"\n");
    EXPECT_EQ(Load(12, L"Hand", dir.File("hand.cfg")), 0);
    EXPECT_EQ(container.GetCommandSets(12),
              (std::vector<CommandSet>{{L"-SetIntensity Green 120", L"-On Green"}}));
    EXPECT_THAT(log.Errors(), IsEmpty());
}

TEST_F(SequenceFilesTest, EmptyFileGivesSequenceWithoutSteps) {
    WriteFileBytes(PathOf("empty.cfg"), "\r\n");
    EXPECT_EQ(Load(4, L"Nothing", dir.File("empty.cfg")), 0);
    EXPECT_EQ(container.GetSequenceName(4), L"Nothing");
    EXPECT_THAT(container.GetCommandSets(4), IsEmpty());
}

TEST_F(SequenceFilesTest, SavedAndLoadedSequenceComesBackUnchanged) {
    const std::vector<CommandSet> steps = {
        {L"-Loop 3"},
        {L"-TTLHigh 4", L"-SetIntensity Red 255", L"-Duration 0.5"},
        {L"-TTLLow 4"},
        {L"-EndLoop"},
        {},
        {L"-Call 1"}};
    Define(1, L"Inner", {{L"-On Blue"}});
    Define(20, L"Outer", steps);
    ASSERT_EQ(Save(20, dir.File("outer.cfg")), 0);
    ASSERT_EQ(Load(21, L"Outer Copy", dir.File("outer.cfg")), 0);
    EXPECT_EQ(container.GetCommandSets(21), steps);
}

TEST_F(SequenceFilesTest, LoadUnderATakenNameFailsBeforeReadingTheFile) {
    WriteFileBytes(PathOf("seq3.cfg"), kSequence3File);
    Define(0, L"Copy", {});
    ResetRecords();
    EXPECT_EQ(Load(8, L"copy", dir.File("seq3.cfg")), -1);
    EXPECT_THAT(log.Errors(), ElementsAre(L"Error validating the sequence name, the sequence "
                                          L"name(copy) must be unique."));
    EXPECT_FALSE(AnyLineWasRead());
    EXPECT_EQ(container.GetSequenceName(8), L"");
    EXPECT_EQ(changes, 0);
}

TEST_F(SequenceFilesTest, LoadOfMissingFileDefinesNothing) {
    const std::wstring path = dir.File("absent.cfg");
    EXPECT_EQ(Load(8, L"Copy", path), -1);
    EXPECT_THAT(
        log.Errors(),
        ElementsAre(L"FormatCmdLine::OpenFileCfg() - Could not find the file " + path + L"."));
    EXPECT_EQ(container.GetSequenceName(8), L"");
    EXPECT_EQ(changes, 0);
}

TEST_F(SequenceFilesTest, LoadWithNumberOutOfRangeReadsNoLine) {
    WriteFileBytes(PathOf("seq3.cfg"), kSequence3File);
    EXPECT_EQ(Load(255, L"Copy", dir.File("seq3.cfg")), -1);
    EXPECT_THAT(log.Errors(), ElementsAre(L"Error validating sequence number.  The sequence "
                                          L"number(255) is out of range(0..254)."));
    EXPECT_FALSE(AnyLineWasRead());
}

struct LoadFailureCase {
    const char* name;
    std::string file;
    std::wstring message;
    // The line the failure is reported at.
    int line;
};

void PrintTo(const LoadFailureCase& c, std::ostream* out) {
    *out << c.name;
}

class LoadFailureTest : public SequenceFilesTest,
                        public testing::WithParamInterface<LoadFailureCase> {};

// The failing line ends the import with its one message, named with the file and line, and
// nothing of the file stays.
TEST_P(LoadFailureTest, StopsAtTheFailingLineAndKeepsNothing) {
    WriteFileBytes(PathOf("bad.cfg"), GetParam().file);
    const ModelSnapshot before = TakeSnapshot(container);
    EXPECT_EQ(Load(8, L"Copy", dir.File("bad.cfg")), -1);
    EXPECT_THAT(log.Errors(), ElementsAre(GetParam().message));
    EXPECT_EQ(lastLoad.Message(), dir.File("bad.cfg") + L":" + std::to_wstring(GetParam().line) +
                                      L": " + GetParam().message);
    EXPECT_EQ(TakeSnapshot(container), before);
}

const std::string kFirstStep =
    "-AddSequenceCommandSet 3 0\r\n"
    "-AddSequenceCommand 3 0 \"-On Blue\"\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadFailureTest,
    testing::Values(
        LoadFailureCase{"AddSequenceLine", "-AddSequence 3 \"Example\"\r\n" + kFirstStep,
                        L"Error loading sequence file, unrecognized command(-AddSequence) found.",
                        1},
        LoadFailureCase{"DeviceCommand", kFirstStep + "-SetIntensity Blue 20\r\n",
                        L"Error loading sequence file, unrecognized command(-SetIntensity) "
                        L"found.",
                        3},
        LoadFailureCase{"LineTheReaderRejects", kFirstStep + "\"\" 3 0\r\n",
                        L"FormatCmdLine::ProcessLine() - Error, Invalid Syntax, unable to "
                        L"determine what type of line to process.",
                        3},
        LoadFailureCase{"CommandWithoutText", kFirstStep + "-AddSequenceCommand 0 0\r\n",
                        L"Error, the -AddSequenceCommand command expects 3 arguments.  There "
                        L"were 2 specified.",
                        3},
        LoadFailureCase{"CommandWithTextUnquoted",
                        kFirstStep + "-AddSequenceCommand 3 0 -Off "
                                     "Blue\r\n",
                        L"Error, the -AddSequenceCommand command expects 3 arguments.  There "
                        L"were 4 specified.",
                        3},
        LoadFailureCase{"SetWithoutIndex", "-AddSequenceCommandSet 3\r\n",
                        L"Error, the -AddSequenceCommandSet command expects 2 arguments.  There "
                        L"were 1 specified.",
                        1},
        LoadFailureCase{"SetIndexSkipsOne", kFirstStep + "-AddSequenceCommandSet 3 2\r\n",
                        L"Error adding command set for sequence 8, the command set index(2) is "
                        L"out of range(0..1).",
                        3},
        LoadFailureCase{"NegativeSetIndex", "-AddSequenceCommandSet 3 -1\r\n",
                        L"Error adding command set for sequence 8, the command set "
                        L"index(4294967295) is out of range(0..0).",
                        1},
        LoadFailureCase{"CommandBeforeItsSet", "-AddSequenceCommand 3 0 \"-On Blue\"\r\n",
                        L"Error validating command set index(0) for sequence 8, a command set "
                        L"has not yet been created for the specified sequence.",
                        1},
        LoadFailureCase{"UnknownColour", kFirstStep + "-AddSequenceCommand 3 0 \"-On Amber\"\r\n",
                        L"Error verifying -On command, the color value(Amber) at index 0 is "
                        L"invalid.",
                        3},
        LoadFailureCase{"CallOfFreeSlot",
                        kFirstStep + "-AddSequenceCommandSet 3 1\r\n"
                                     "-AddSequenceCommand 3 1 \"-Call 40\"\r\n",
                        L"Error verifying -Call command, the sequence number(40) at index 0 is "
                        L"invalid.  There is not a valid sequence at the sequence number "
                        L"specified.",
                        4},
        LoadFailureCase{"UnmatchedQuote", kFirstStep + "-AddSequenceCommand 3 0 \"-Off Blue\r\n",
                        L"MiscFunctions::ParseCommandString() - Error Processing "
                        L"command(-AddSequenceCommand 3 0 \"-Off Blue) string, unable to find "
                        L"matching double quotes.",
                        3}));

}  // namespace
