#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "device/MicroController.h"
#include "sequences/ContainerFixture.h"
#include "sequences/SequenceContainer.h"

namespace {

using Operation = std::function<int(SequenceContainer&)>;

const std::wstring kNumberRange255 =
    L"Error validating sequence number.  The sequence number(255) is out of range(0..254).";
const std::wstring kNameCannotBeStored =
    L") contains a double quote, # or //, which a settings file cannot hold.";

// Texts of 960 characters are the longest whose lines a settings file can hold.
const std::wstring kLongestName(960, L'n');
const std::wstring kLongestCommand = L"-Duration " + std::wstring(949, L'0') + L"5";

// Sequences 0 (two steps), 2 (no steps) and 4 (calls 2); every other slot is free.
class StandardModelTest : public ContainerFixture {
  protected:
    void SetUp() override {
        Define(0, L"Alpha", {{L"-SetIntensity Blue 100", L"-Duration 10"}, {L"-Off Blue"}});
        Define(2, L"Beta", {});
        Define(4, L"Gamma", {{L"-Call 2"}});
        ResetRecords();
    }
};

// A line of a settings file cannot carry a control character: a line feed or carriage return
// would end the line, a tab would come back as a blank. Names, commands and LED labels holding
// one are refused where they are given.
struct ControlCharacterCase {
    const char* name;
    wchar_t character;
};

class ControlCharacterTest : public StandardModelTest,
                             public ::testing::WithParamInterface<ControlCharacterCase> {};

TEST_P(ControlCharacterTest, IsRefusedInNamesCommandsAndLabels) {
    const wchar_t c = GetParam().character;
    const std::wstring what = L"a control character (code " +
                              std::to_wstring(static_cast<unsigned>(c)) +
                              L"), which a settings file cannot hold.";
    MicroController device(&log);
    const ModelSnapshot before = TakeSnapshot(container);

    EXPECT_EQ(container.AddSequence(7, L"Run" + std::wstring(1, c) + L"2"), -1);
    EXPECT_EQ(container.RenameSequence(0, std::wstring(1, c)), -1);
    EXPECT_EQ(container.AddCommand(0, 1, L"-On" + std::wstring(1, c) + L"Blue"), -1);
    EXPECT_EQ(device.AddLED(L"Blue" + std::wstring(1, c), 0.0), -1);
    EXPECT_EQ(
        ErrorMessages(),
        (std::vector<std::wstring>{
            L"Error, the sequence name contains " + what,
            L"Error, the sequence name contains " + what,
            L"Error adding command to sequence 0 and command set 1.  The command contains " + what,
            L"Error adding LED color, the color label contains " + what}));
    EXPECT_EQ(TakeSnapshot(container), before);
    EXPECT_EQ(device.GetLEDCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Characters, ControlCharacterTest,
                         ::testing::Values(ControlCharacterCase{"LineFeed", L'\n'},
                                           ControlCharacterCase{"CarriageReturn", L'\r'},
                                           ControlCharacterCase{"Tab", L'\t'},
                                           ControlCharacterCase{"Null", L'\0'},
                                           ControlCharacterCase{"UnitSeparator", L'\x1F'},
                                           ControlCharacterCase{"Delete", L'\x7F'}),
                         [](const auto& info) { return std::string(info.param.name); });

struct FailureCase {
    const char* name;
    Operation operation;
    std::wstring message;
};

void PrintTo(const FailureCase& testCase, std::ostream* out) {
    *out << testCase.name;
}

class OperationFailureTest : public StandardModelTest,
                             public ::testing::WithParamInterface<FailureCase> {};

// Each failure logs exactly its one message at Error, returns -1, raises no event and leaves
// every slot as it was.
TEST_P(OperationFailureTest, LogsItsMessageAndChangesNothing) {
    const ModelSnapshot before = TakeSnapshot(container);
    EXPECT_EQ(GetParam().operation(container), -1);
    EXPECT_EQ(ErrorMessages(), std::vector<std::wstring>{GetParam().message});
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(TakeSnapshot(container), before);
}

const FailureCase kFailureCases[] = {
    {"ValidateNumber255", [](SequenceContainer& c) { return c.ValidateSequenceNumber(255); },
     kNumberRange255},
    {"ValidateNumberMax",
     [](SequenceContainer& c) { return c.ValidateSequenceNumber(4294967295u); },
     L"Error validating sequence number.  The sequence number(4294967295) is out of "
     L"range(0..254)."},
    {"ValidateNameBlank", [](SequenceContainer& c) { return c.ValidateSequenceName(L""); },
     L"Error validating the sequence name.  The sequence name is blank."},
    {"AddNumberBeforeName", [](SequenceContainer& c) { return c.AddSequence(255, L""); },
     kNumberRange255},
    {"AddBlankName", [](SequenceContainer& c) { return c.AddSequence(7, L""); },
     L"Error validating the sequence name.  The sequence name is blank."},
    {"AddNameOtherCase", [](SequenceContainer& c) { return c.AddSequence(7, L"aLPHA"); },
     L"Error validating the sequence name, the sequence name(aLPHA) must be unique."},
    {"AddSameNameSameNumber", [](SequenceContainer& c) { return c.AddSequence(0, L"Alpha"); },
     L"Error validating the sequence name, the sequence name(Alpha) must be unique."},
    {"AddNameWithQuote", [](SequenceContainer& c) { return c.AddSequence(7, L"Say \"hi\""); },
     L"Error, the sequence name (Say \"hi\"" + kNameCannotBeStored},
    {"AddNameWithHash", [](SequenceContainer& c) { return c.AddSequence(7, L"Run #2"); },
     L"Error, the sequence name (Run #2" + kNameCannotBeStored},
    {"AddNameWithSlashes", [](SequenceContainer& c) { return c.AddSequence(7, L"a//b"); },
     L"Error, the sequence name (a//b" + kNameCannotBeStored},
    {"AddNameTooLongForAFile",
     [](SequenceContainer& c) { return c.AddSequence(7, kLongestName + L"n"); },
     L"Error, the sequence name is 961 characters long, more than the 960 a line of a settings "
     L"file can hold."},
    {"RemoveOutOfRange", [](SequenceContainer& c) { return c.RemoveSequence(255); },
     kNumberRange255},
    {"RemoveFree", [](SequenceContainer& c) { return c.RemoveSequence(7); },
     L"Error removing sequence 7, the sequence does not exist."},
    {"ModifyOldOutOfRange", [](SequenceContainer& c) { return c.ModifySequenceNumber(255, 300); },
     kNumberRange255},
    {"ModifyNewOutOfRange", [](SequenceContainer& c) { return c.ModifySequenceNumber(0, 255); },
     kNumberRange255},
    {"ModifyFree", [](SequenceContainer& c) { return c.ModifySequenceNumber(7, 8); },
     L"Error modifying sequence number, the sequence to be modified (7) does not exist."},
    {"ModifyOntoUsed", [](SequenceContainer& c) { return c.ModifySequenceNumber(0, 2); },
     L"Error modifying sequence number, the new sequence number (2) in already in use."},
    {"ModifyOntoItself", [](SequenceContainer& c) { return c.ModifySequenceNumber(4, 4); },
     L"Error modifying sequence number, the new sequence number (4) in already in use."},
    {"RenameOutOfRange", [](SequenceContainer& c) { return c.RenameSequence(255, L"X"); },
     kNumberRange255},
    {"RenameBlank", [](SequenceContainer& c) { return c.RenameSequence(0, L""); },
     L"Error validating the sequence name.  The sequence name is blank."},
    {"RenameToOwnName", [](SequenceContainer& c) { return c.RenameSequence(0, L"ALPHA"); },
     L"Error validating the sequence name, the sequence name(ALPHA) must be unique."},
    {"RenameToOtherName", [](SequenceContainer& c) { return c.RenameSequence(0, L"beta"); },
     L"Error validating the sequence name, the sequence name(beta) must be unique."},
    {"RenameWithHash", [](SequenceContainer& c) { return c.RenameSequence(0, L"#1"); },
     L"Error, the sequence name (#1" + kNameCannotBeStored},
    {"SetIndexOutOfRangeNumber",
     [](SequenceContainer& c) { return c.ValidateCommandSetIndex(255, 0); }, kNumberRange255},
    {"SetIndexNoSets", [](SequenceContainer& c) { return c.ValidateCommandSetIndex(2, 0); },
     L"Error validating command set index(0) for sequence 2, a command set has not yet been "
     L"created for the specified sequence."},
    {"SetIndexFreeSlot", [](SequenceContainer& c) { return c.ValidateCommandSetIndex(7, 0); },
     L"Error validating command set index(0) for sequence 7, a command set has not yet been "
     L"created for the specified sequence."},
    {"SetIndexBeyond", [](SequenceContainer& c) { return c.ValidateCommandSetIndex(0, 2); },
     L"Error validating command set index(2) for sequence 0, the value is out of range(0..1)."},
    {"AddSetOutOfRangeNumber", [](SequenceContainer& c) { return c.AddCommandSet(255, 0); },
     kNumberRange255},
    {"AddSetFreeSlot", [](SequenceContainer& c) { return c.AddCommandSet(7, 0); },
     L"Error adding command set(0), a sequence does not exist at the specified index(7)."},
    {"AddSetBeyondCount", [](SequenceContainer& c) { return c.AddCommandSet(0, 3); },
     L"Error adding command set for sequence 0, the command set index(3) is out of "
     L"range(0..2)."},
    {"AddSetToNoSets", [](SequenceContainer& c) { return c.AddCommandSet(2, 1); },
     L"Error adding command set for sequence 2, the command set index(1) is out of "
     L"range(0..0)."},
    {"RemoveSetBeyond", [](SequenceContainer& c) { return c.RemoveCommandSet(0, 2); },
     L"Error validating command set index(2) for sequence 0, the value is out of range(0..1)."},
    {"ClearSetNoSets", [](SequenceContainer& c) { return c.ClearCommandSet(2, 0); },
     L"Error validating command set index(0) for sequence 2, a command set has not yet been "
     L"created for the specified sequence."},
    {"SwapSecondBeyond", [](SequenceContainer& c) { return c.SwapCommandSets(0, 1, 2); },
     L"Error validating command set index(2) for sequence 0, the value is out of range(0..1)."},
    {"SwapFirstChecked", [](SequenceContainer& c) { return c.SwapCommandSets(0, 5, 9); },
     L"Error validating command set index(5) for sequence 0, the value is out of range(0..1)."},
    {"AddCommandOutOfRangeNumber",
     [](SequenceContainer& c) { return c.AddCommand(255, 0, L"-Off Blue"); }, kNumberRange255},
    {"AddCommandFreeSlot", [](SequenceContainer& c) { return c.AddCommand(7, 0, L"-Off Blue"); },
     L"Error adding command, a sequence does not exist at the specified index(7)."},
    {"AddCommandNoSets", [](SequenceContainer& c) { return c.AddCommand(2, 0, L"-Off Blue"); },
     L"Error validating command set index(0) for sequence 2, a command set has not yet been "
     L"created for the specified sequence."},
    {"AddCommandUnmatchedQuote",
     [](SequenceContainer& c) { return c.AddCommand(0, 1, L"-On \"Blue"); },
     L"MiscFunctions::ParseCommandString() - Error Processing command(-On \"Blue) string, "
     L"unable to find matching double quotes."},
    {"AddCommandTooLongForAFile",
     [](SequenceContainer& c) {
         return c.AddCommand(0, 1, L"-Duration 0" + kLongestCommand.substr(10));
     },
     L"Error adding command to sequence 0 and command set 1.  The command is 961 characters "
     L"long, more than the 960 a line of a settings file can hold."},
    {"AddCallToNonEmptySet", [](SequenceContainer& c) { return c.AddCommand(0, 1, L"-Call 2"); },
     L"Error adding command(-Call 2) to sequence 0, the command set(1) already has commands in "
     L"it.  This conflicts with the command specified."},
    {"AddLoopToNonEmptySet", [](SequenceContainer& c) { return c.AddCommand(0, 0, L"-Loop 3"); },
     L"Error adding command(-Loop 3) to sequence 0, the command set(0) already has commands in "
     L"it.  This conflicts with the command specified."},
    {"AddEndLoopToNonEmptySet",
     [](SequenceContainer& c) { return c.AddCommand(0, 1, L"-EndLoop"); },
     L"Error adding command(-EndLoop) to sequence 0, the command set(1) already has commands "
     L"in it.  This conflicts with the command specified."},
    {"LabelOutOfRange",
     [](SequenceContainer& c) {
         std::wstring label;
         return c.GetSequenceLabel(255, label);
     },
     kNumberRange255},
    {"ExtractWithoutPoint",
     [](SequenceContainer& c) {
         std::uint32_t number = 0;
         return c.ExtractSequenceNumberFromLabel(L"12Main", number);
     },
     L"Error extracting sequence number from label(12Main), the label may be formatted "
     L"incorrectly."},
    {"ExtractPointRightAfterBlank",
     [](SequenceContainer& c) {
         std::uint32_t number = 0;
         return c.ExtractSequenceNumberFromLabel(L"-Call .Main", number);
     },
     L"Error extracting sequence number from label(-Call .Main), the label may be formatted "
     L"incorrectly."},
    {"ExtractPointFirst",
     [](SequenceContainer& c) {
         std::uint32_t number = 0;
         return c.ExtractSequenceNumberFromLabel(L".Main", number);
     },
     L"Error extracting sequence number from label(.Main), the label may be formatted "
     L"incorrectly."},
};

INSTANTIATE_TEST_SUITE_P(Operations, OperationFailureTest, ::testing::ValuesIn(kFailureCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Each success raises the change event once (ModifySequenceNumber twice) and does what the
// check expects.
struct SuccessCase {
    const char* name;
    Operation operation;
    int events;
    std::function<void(const SequenceContainer&)> check;
};

void PrintTo(const SuccessCase& testCase, std::ostream* out) {
    *out << testCase.name;
}

class OperationSuccessTest : public StandardModelTest,
                             public ::testing::WithParamInterface<SuccessCase> {};

TEST_P(OperationSuccessTest, RaisesTheEventAndChangesTheModel) {
    EXPECT_EQ(GetParam().operation(container), 0);
    EXPECT_EQ(log.messages.size(), 0u) << log.Text();
    EXPECT_EQ(changes, GetParam().events);
    GetParam().check(container);
}

const std::vector<CommandSet> kAlphaSteps = {{L"-SetIntensity Blue 100", L"-Duration 10"},
                                             {L"-Off Blue"}};

const SuccessCase kSuccessCases[] = {
    {"AddAtLastNumber", [](SequenceContainer& c) { return c.AddSequence(254, L"Last"); }, 1,
     [](const SequenceContainer& c) { EXPECT_EQ(c.GetSequenceName(254), L"Last"); }},
    {"AddLongestName", [](SequenceContainer& c) { return c.AddSequence(9, kLongestName); }, 1,
     [](const SequenceContainer& c) { EXPECT_EQ(c.GetSequenceName(9), kLongestName); }},
    {"AddNameOfBlanks", [](SequenceContainer& c) { return c.AddSequence(9, L"  "); }, 1,
     [](const SequenceContainer& c) { EXPECT_EQ(c.GetSequenceName(9), L"  "); }},
    {"AddRedefinesUsedSlot", [](SequenceContainer& c) { return c.AddSequence(0, L"Fresh"); }, 1,
     [](const SequenceContainer& c) {
         EXPECT_EQ(c.GetSequenceName(0), L"Fresh");
         EXPECT_TRUE(c.GetCommandSets(0).empty());
     }},
    {"Remove", [](SequenceContainer& c) { return c.RemoveSequence(0); }, 1,
     [](const SequenceContainer& c) {
         EXPECT_EQ(c.GetSequenceName(0), L"");
         EXPECT_TRUE(c.GetCommandSets(0).empty());
     }},
    {"RemoveCalledSequenceLeavesTheCall", [](SequenceContainer& c) { return c.RemoveSequence(2); },
     1,
     [](const SequenceContainer& c) {
         EXPECT_EQ(c.GetCommandSets(4), std::vector<CommandSet>{{L"-Call 2"}});
     }},
    {"Modify", [](SequenceContainer& c) { return c.ModifySequenceNumber(0, 9); }, 2,
     [](const SequenceContainer& c) {
         EXPECT_EQ(c.GetSequenceName(0), L"");
         EXPECT_TRUE(c.GetCommandSets(0).empty());
         EXPECT_EQ(c.GetSequenceName(9), L"Alpha");
         EXPECT_EQ(c.GetCommandSets(9), kAlphaSteps);
     }},
    {"ModifyRewritesTheCall", [](SequenceContainer& c) { return c.ModifySequenceNumber(2, 7); }, 2,
     [](const SequenceContainer& c) {
         EXPECT_EQ(c.GetSequenceName(2), L"");
         EXPECT_EQ(c.GetSequenceName(7), L"Beta");
         EXPECT_EQ(c.GetCommandSets(4), std::vector<CommandSet>{{L"-Call 7"}});
     }},
    {"RenameUsed", [](SequenceContainer& c) { return c.RenameSequence(0, L"Omega"); }, 1,
     [](const SequenceContainer& c) {
         EXPECT_EQ(c.GetSequenceName(0), L"Omega");
         EXPECT_EQ(c.GetCommandSets(0), kAlphaSteps);
     }},
    {"RenameFreeMakesItUsed", [](SequenceContainer& c) { return c.RenameSequence(8, L"New"); }, 1,
     [](const SequenceContainer& c) {
         EXPECT_EQ(c.GetSequenceName(8), L"New");
         EXPECT_TRUE(c.GetCommandSets(8).empty());
     }},
    {"ClearAll", [](SequenceContainer& c) { return c.ClearAllSequences(); }, 1,
     [](const SequenceContainer& c) {
         std::vector<std::uint32_t> numbers;
         c.GetAvailableSequenceNumbers(numbers);
         EXPECT_EQ(numbers.size(), 255u);
     }},
    {"AddSetAppends", [](SequenceContainer& c) { return c.AddCommandSet(0, 2); }, 1,
     [](const SequenceContainer& c) {
         EXPECT_EQ(c.GetCommandSets(0),
                   (std::vector<CommandSet>{kAlphaSteps[0], kAlphaSteps[1], {}}));
     }},
    {"AddSetInsertsInFront", [](SequenceContainer& c) { return c.AddCommandSet(0, 0); }, 1,
     [](const SequenceContainer& c) {
         EXPECT_EQ(c.GetCommandSets(0),
                   (std::vector<CommandSet>{{}, kAlphaSteps[0], kAlphaSteps[1]}));
     }},
    {"AddFirstSet", [](SequenceContainer& c) { return c.AddCommandSet(2, 0); }, 1,
     [](const SequenceContainer& c) {
         EXPECT_EQ(c.GetCommandSets(2), std::vector<CommandSet>{{}});
     }},
    {"RemoveSetMovesLaterUp", [](SequenceContainer& c) { return c.RemoveCommandSet(0, 0); }, 1,
     [](const SequenceContainer& c) {
         EXPECT_EQ(c.GetCommandSets(0), std::vector<CommandSet>{kAlphaSteps[1]});
     }},
    {"ClearSetKeepsIt", [](SequenceContainer& c) { return c.ClearCommandSet(0, 0); }, 1,
     [](const SequenceContainer& c) {
         EXPECT_EQ(c.GetCommandSets(0), (std::vector<CommandSet>{{}, kAlphaSteps[1]}));
     }},
    {"Swap", [](SequenceContainer& c) { return c.SwapCommandSets(0, 1, 0); }, 1,
     [](const SequenceContainer& c) {
         EXPECT_EQ(c.GetCommandSets(0), (std::vector<CommandSet>{kAlphaSteps[1], kAlphaSteps[0]}));
     }},
    {"SwapWithItself", [](SequenceContainer& c) { return c.SwapCommandSets(0, 1, 1); }, 1,
     [](const SequenceContainer& c) { EXPECT_EQ(c.GetCommandSets(0), kAlphaSteps); }},
    {"AddCommandAppendsVerbatim",
     [](SequenceContainer& c) { return c.AddCommand(0, 1, L"-TTLHigh  3"); }, 1,
     [](const SequenceContainer& c) {
         EXPECT_EQ(c.GetCommandSets(0)[1], (CommandSet{L"-Off Blue", L"-TTLHigh  3"}));
     }},
    {"AddLongestCommand", [](SequenceContainer& c) { return c.AddCommand(0, 1, kLongestCommand); },
     1,
     [](const SequenceContainer& c) {
         EXPECT_EQ(c.GetCommandSets(0)[1], (CommandSet{L"-Off Blue", kLongestCommand}));
     }},
    {"AddCommandAfterLoopInSameSet",
     [](SequenceContainer& c) {
         c.AddCommandSet(2, 0);
         c.AddCommand(2, 0, L"-Loop 3");
         return c.AddCommand(2, 0, L"-Duration 5");
     },
     3,
     [](const SequenceContainer& c) {
         EXPECT_EQ(c.GetCommandSets(2), (std::vector<CommandSet>{{L"-Loop 3", L"-Duration 5"}}));
     }},
};

INSTANTIATE_TEST_SUITE_P(Operations, OperationSuccessTest, ::testing::ValuesIn(kSuccessCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StandardModelTest, RenumberingRewritesEveryCallOfTheOldNumberOnly) {
    Define(5, L"Delta", {{L"-Call 2"}, {L"-Duration 1"}, {L"-Call 0"}, {L"-Call  02"}});
    Define(6, L"Epsilon", {{L"-Call 4"}, {L"-Call 2"}});
    ResetRecords();

    ASSERT_EQ(container.ModifySequenceNumber(2, 9), 0) << log.Text();

    EXPECT_EQ(container.GetCommandSets(4), std::vector<CommandSet>{{L"-Call 9"}});
    EXPECT_EQ(
        container.GetCommandSets(5),
        (std::vector<CommandSet>{{L"-Call 9"}, {L"-Duration 1"}, {L"-Call 0"}, {L"-Call 9"}}));
    EXPECT_EQ(container.GetCommandSets(6), (std::vector<CommandSet>{{L"-Call 4"}, {L"-Call 9"}}));
    bool referenced = true;
    ASSERT_EQ(container.IsSequenceReferenced(2, referenced), 0);
    EXPECT_FALSE(referenced);
    ASSERT_EQ(container.IsSequenceReferenced(9, referenced), 0);
    EXPECT_TRUE(referenced);
}

TEST_F(StandardModelTest, RenumberedCallsAreTimedAndRenumberedAgain) {
    ASSERT_EQ(container.AddCommandSet(2, 0), 0);
    ASSERT_EQ(container.AddCommand(2, 0, L"-Duration 7"), 0);
    ASSERT_EQ(container.ModifySequenceNumber(2, 7), 0);
    ASSERT_EQ(container.ModifySequenceNumber(7, 3), 0);
    double duration = 0.0;
    ASSERT_EQ(container.GetSequenceDuration(4, duration), 0);
    EXPECT_DOUBLE_EQ(duration, 0.1 + 7.0);
    EXPECT_EQ(container.GetCommandSets(4), std::vector<CommandSet>{{L"-Call 3"}});
    // The rewritten call is a call like any other: calling back into 4 is a cycle.
    ResetRecords();
    ASSERT_EQ(container.AddCommandSet(3, 1), 0);
    EXPECT_EQ(container.AddCommand(3, 1, L"-Call 4"), -1);
}

TEST_F(StandardModelTest, IsSequenceReferencedLooksAtEveryUsedSequence) {
    bool referenced = false;
    ASSERT_EQ(container.IsSequenceReferenced(2, referenced), 0);
    EXPECT_TRUE(referenced);
    ASSERT_EQ(container.IsSequenceReferenced(0, referenced), 0);
    EXPECT_FALSE(referenced);
    ASSERT_EQ(container.IsSequenceReferenced(4, referenced), 0);
    EXPECT_FALSE(referenced);
    EXPECT_EQ(log.messages.size(), 0u);
}

TEST_F(ContainerFixture, AvailableNumbersAreAppendedAscending) {
    std::vector<std::uint32_t> numbers{999};
    ASSERT_EQ(container.GetAvailableSequenceNumbers(numbers), 0);
    ASSERT_EQ(numbers.size(), 256u);
    EXPECT_EQ(numbers[0], 999u);
    for (std::uint32_t n = 0; n < 255; ++n) {
        EXPECT_EQ(numbers[n + 1], n);
    }
    Define(0, L"A", {});
    Define(200, L"B", {});
    numbers.clear();
    container.GetAvailableSequenceNumbers(numbers);
    EXPECT_EQ(numbers.size(), 253u);
    EXPECT_EQ(numbers.front(), 1u);
    EXPECT_EQ(std::count(numbers.begin(), numbers.end(), 200u), 0);
}

TEST_F(ContainerFixture, LabelsOfUsedAndFreeSlots) {
    Define(12, L"Main Seq", {});
    std::wstring label;
    ASSERT_EQ(container.GetSequenceLabel(12, label), 0);
    EXPECT_EQ(label, L"12.Main Seq");
    ASSERT_EQ(container.GetSequenceLabel(13, label), 0);
    EXPECT_EQ(label, L"13.");
}

struct LabelCase {
    std::wstring label;
    std::uint32_t number;
};

void PrintTo(const LabelCase& testCase, std::ostream* out) {
    *out << ::testing::PrintToString(testCase.label) << " -> " << testCase.number;
}

class ExtractNumberTest : public ContainerFixture,
                          public ::testing::WithParamInterface<LabelCase> {};

TEST_P(ExtractNumberTest, ReadsTheNumberBeforeThePoint) {
    std::uint32_t number = 777;
    ASSERT_EQ(container.ExtractSequenceNumberFromLabel(GetParam().label, number), 0);
    EXPECT_EQ(number, GetParam().number);
}

INSTANTIATE_TEST_SUITE_P(
    Labels, ExtractNumberTest,
    ::testing::Values(LabelCase{L"12.Main", 12}, LabelCase{L"-Call 12.Main", 12},
                      // A blank in the name: the bare label reads the text after the blank.
                      LabelCase{L"12.Main Seq", 0}, LabelCase{L"-Call 12.Main Seq", 12},
                      LabelCase{L"7.", 7}, LabelCase{L"x.y 4.z", 4},
                      LabelCase{L"-1.A", 4294967295u}));

TEST_F(ContainerFixture, ReadingsOutsideTheTableAreEmpty) {
    EXPECT_EQ(container.GetSequenceName(255), L"");
    EXPECT_TRUE(container.GetCommandSets(4294967295u).empty());
}

// A file may add every step at the front; each such step must cost about the same however long
// the sequence already is (with a vector, 50,000 took seconds).
TEST_F(ContainerFixture, StepsAddedAtTheFrontTakeLinearTime) {
    ASSERT_EQ(container.AddSequence(0, L"Long"), 0);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 50000; ++i) {
        ASSERT_EQ(container.AddCommandSet(0, 0), 0);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

}  // namespace
