#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "sequences/ContainerFixture.h"
#include "sequences/SequenceContainer.h"
#include "sequences/SubscribedEvent.h"

namespace {

#define OP(...) [](SequenceContainer& c) { return __VA_ARGS__; }

const std::wstring kFileCannotHold = L"which a settings file cannot hold.";
const std::wstring kCannotHold = L"contains a double quote, # or //, " + kFileCannotHold;
// Texts of 960 characters are the longest whose lines a settings file can hold.
const std::wstring kLongestName(960, L'n');
const std::wstring kLongestCommand = L"-Duration " + std::wstring(949, L'0') + L"5";
const std::vector<CommandSet> kAlpha = {{L"-SetIntensity Blue 100", L"-Duration 10"},
                                        {L"-Off Blue"}};
const std::vector<CommandSet> kWithLongest = {kAlpha[0], {L"-Off Blue", kLongestCommand}};
const std::vector<CommandSet> kLoop = {{L"-Loop 3"}, {L"-Duration 5"}, {L"-EndLoop"}};
const std::vector<CommandSet> kLoopWithGap = {kLoop[0], {}, kLoop[1], kLoop[2]};
const std::vector<CommandSet> kLoopSwapped = {kLoop[1], kLoop[0], kLoop[2]};
const CommandSet kReplaced = {L"-Off Blue", L"-TTLHigh 3", L"-Duration 3"};
const std::vector<CommandSet> kAlphaReplaced = {kAlpha[0], kReplaced};
const std::vector<CommandSet> kAlphaTail = {kAlpha[1]};
const std::vector<CommandSet> kAlphaCleared = {{}, kAlpha[1]};
const std::vector<CommandSet> kGamma = {{L"-Call 2"}};
const std::vector<CommandSet> kNone;

// Sequences 0 (two steps), 2 (no steps), 4 (calls 2) and 6 (a loop); every other slot is free.
class StandardModelTest : public ContainerFixture {
  protected:
    void SetUp() override {
        Define(0, L"Alpha", kAlpha);
        Define(2, L"Beta", {});
        Define(4, L"Gamma", kGamma);
        Define(6, L"Loop", kLoop);
        ResetRecords();
    }
};

std::wstring Verify(const std::wstring& word, const std::wstring& problem) {
    return L"Error verifying " + word + L" command, the " + problem;
}

// Each failure logs exactly its one message, returns -1, raises no event and changes nothing.
TEST_F(StandardModelTest, FailuresLogTheirMessageAndChangeNothing) {
    const struct {
        std::function<int(SequenceContainer&)> operation;
        std::wstring message;
    } cases[] = {
        {OP(c.ModifySequenceNumber(0, 255)),
         L"Error validating sequence number.  The sequence number(255) is out of range(0..254)."},
        {OP(c.AddSequence(7, L"")),
         L"Error validating the sequence name.  The sequence name is blank."},
        {OP(c.AddSequence(7, L"aLPHA")),
         L"Error validating the sequence name, the sequence name(aLPHA) must be unique."},
        {OP(c.AddSequence(7, L"Say \"hi\"")),
         L"Error, the sequence name (Say \"hi\") " + kCannotHold},
        // A line of a settings file cannot carry a control character (below 32, or 127).
        {OP(c.AddSequence(7, L"Run\n2")),
         L"Error, the sequence name contains a control character (code 10), " + kFileCannotHold},
        {OP(c.RenameSequence(0, std::wstring(1, L'\0'))),
         L"Error, the sequence name contains a control character (code 0), " + kFileCannotHold},
        {OP(c.AddCommand(0, 1, L"-On\x7F Blue")),
         L"Error adding command to sequence 0 and command set 1.  The command contains a control "
         L"character (code 127), " +
             kFileCannotHold},
        {OP(c.AddSequence(7, kLongestName + L"n")),
         L"Error, the sequence name is 961 characters long, more than the 960 a line of a settings "
         L"file can hold."},
        {OP(c.RemoveSequence(7)), L"Error removing sequence 7, the sequence does not exist."},
        {OP(c.ModifySequenceNumber(7, 8)),
         L"Error modifying sequence number, the sequence to be modified (7) does not exist."},
        {OP(c.ModifySequenceNumber(0, 2)),
         L"Error modifying sequence number, the new sequence number (2) in already in use."},
        {OP(c.ValidateCommandSetIndex(2, 0)),
         L"Error validating command set index(0) for sequence 2, a command set has not yet been "
         L"created for the specified sequence."},
        {OP(c.SwapCommandSets(0, 1, 2)),
         L"Error validating command set index(2) for sequence 0, the value is out of range(0..1)."},
        {OP(c.AddCommandSet(7, 0)),
         L"Error adding command set(0), a sequence does not exist at the specified index(7)."},
        {OP(c.AddCommandSet(0, 3)),
         L"Error adding command set for sequence 0, the command set index(3) is out of "
         L"range(0..2)."},
        {OP(c.AddCommand(7, 0, L"-Off Blue")),
         L"Error adding command, a sequence does not exist at the specified index(7)."},
        {OP(c.AddCommand(0, 1, L"-Duration 0" + kLongestCommand.substr(10))),
         L"Error adding command to sequence 0 and command set 1.  The command is 961 characters "
         L"long, more than the 960 a line of a settings file can hold."},
        {OP(c.AddCommand(0, 1, L"-Call 2")),
         L"Error adding command(-Call 2) to sequence 0, the command set(1) already has commands in "
         L"it.  This conflicts with the command specified."},
        // Each way the model words a refusal of the rulebook, once (which rule refuses what is
        // the rulebook's test); quotes and # are refused after the rulebook, as in names.
        {OP(c.AddCommand(0, 1, L"-On Purple")),
         Verify(L"-On", L"color value(Purple) at index 0 is invalid.")},
        {OP(c.AddCommand(0, 1, L"-OFF Blue Red")),
         L"Error, the -Off command expects 1 arguments.  There were 2 specified."},
        {OP(c.AddCommand(0, 1, L"-SetIntensity Blue 256")),
         Verify(L"-SetIntensity", L"intensity(256) is out of range(0...255).")},
        {OP(c.AddCommand(0, 1, L"-Call 09")),
         Verify(L"-Call",
                L"sequence number(09) at index 0 is invalid.  There is not a valid "
                L"sequence at the sequence number specified.")},
        {OP(c.AddCommand(0, 1, L"-Call 300")),
         L"Error validating sequence number.  The sequence number(300) is out of range(0..254)."},
        {OP(c.AddCommand(0, 1, L"-Loop 99999999999")),
         Verify(L"-Loop", L"loop count(2147483647) is out of range(2...1000000).")},
        {OP(c.AddCommand(0, 1, L"-Duration 0.09")),
         Verify(L"-Duration", L"duration(0.1) is out of range(0.1...1800000.0).")},
        {OP(c.AddCommand(0, 1, L"-TTLLow 7")),
         L"Error verifying -TTLLow command, the TTL bit (7) is invalid."},
        {OP(c.AddCommand(0, 1, L"-Duration 5#x")),
         L"Error adding command(-Duration 5#x) to sequence 0 and command set 1.  The command " +
             kCannotHold},
        // A replaced set is built in place; a refused command puts the old one back whole.
        {OP(c.ReplaceCommandSet(0, 1, {L"-Off Blue", L"-Flash Blue", L"-Duration 3"})),
         L"Error adding command(-Flash Blue) to sequence 0 and command set 1.  The command is "
         L"invalid."},
        {OP(c.ReplaceCommandSet(4, 0, {L"-Call 4"})),
         L"Error processing sequence duration, the call command will create an infinite loop."},
        {[](SequenceContainer& c) {
             std::uint32_t number = 0;
             return c.ExtractSequenceNumberFromLabel(L"12Main", number);
         },
         L"Error extracting sequence number from label(12Main), the label may be formatted "
         L"incorrectly."},
    };
    for (const auto& c : cases) {
        const ModelSnapshot before = TakeSnapshot(container);
        EXPECT_EQ(c.operation(container), -1) << c.message;
        EXPECT_EQ(ErrorMessages(), std::vector<std::wstring>{c.message});
        EXPECT_EQ(changes, 0) << c.message;
        EXPECT_EQ(TakeSnapshot(container), before) << c.message;
        ResetRecords();
    }
}

// Each success raises the change event once (renumbering twice), naming the sequence and the
// steps it changed (an inserted or removed step moves every later one), and leaves the slot so,
// timed as its texts read though every sequence was timed before the change.
TEST_F(StandardModelTest, SuccessesRaiseTheEventAndChangeTheModel) {
    using Change = SequenceContainer::Change;
    constexpr std::size_t kEnd = Change::kToTheEnd;
    const struct {
        const char* name;
        std::function<int(SequenceContainer&)> operation;
        int events;
        Change change;
        std::uint32_t number;
        std::wstring sequenceName;
        std::vector<CommandSet> steps;
        double duration;
    } cases[] = {
        {"AddRedefinesAUsedSlot", OP(c.AddSequence(0, L"Fresh")), 1, Change::Sequence(0), 0,
         L"Fresh", kNone, 0.0},
        {"AddLongestName", OP(c.AddSequence(254, kLongestName)), 1, Change::Sequence(254), 254,
         kLongestName, kNone, 0.0},
        {"RenameOfAFreeSlotUsesIt", OP(c.RenameSequence(8, L"New")), 1, Change::Steps(8, 0, 0), 8,
         L"New", kNone, 0.0},
        {"RemoveLeavesTheCall", OP(c.RemoveSequence(2)), 1, Change::Sequence(2), 4, L"Gamma",
         kGamma, 0.1},
        {"ModifyMovesTheSequence", OP(c.ModifySequenceNumber(0, 9)), 2, Change::Every(), 9,
         L"Alpha", kAlpha, 10.1},
        {"ModifyEmptiesTheOldSlot", OP(c.ModifySequenceNumber(0, 9)), 2, Change::Every(), 0, L"",
         kNone, 0.0},
        {"AddSetInALoop", OP(c.AddCommandSet(6, 1)), 1, Change::Steps(6, 1, kEnd), 6, L"Loop",
         kLoopWithGap, 15.3},
        {"RemoveSetMovesLaterUp", OP(c.RemoveCommandSet(0, 0)), 1, Change::Steps(0, 0, kEnd), 0,
         L"Alpha", kAlphaTail, 0.1},
        {"ClearSetKeepsIt", OP(c.ClearCommandSet(0, 0)), 1, Change::Steps(0, 0, 1), 0, L"Alpha",
         kAlphaCleared, 0.2},
        {"SwapOutOfTheLoop", OP(c.SwapCommandSets(6, 1, 0)), 1, Change::Steps(6, 0, 2), 6, L"Loop",
         kLoopSwapped, 5.0},
        {"AddLongestCommandVerbatim", OP(c.AddCommand(0, 1, kLongestCommand)), 1,
         Change::Steps(0, 1, 2), 0, L"Alpha", kWithLongest, 15.0},
        {"Replace", OP(c.ReplaceCommandSet(0, 1, kReplaced)), 1, Change::Steps(0, 1, 2), 0,
         L"Alpha", kAlphaReplaced, 13.0},
        {"CalledSequenceChanged", OP(c.AddCommandSet(2, 0)), 1, Change::Steps(2, 0, kEnd), 4,
         L"Gamma", kGamma, 0.2},
        {"ClearAll", OP(c.ClearAllSequences()), 1, Change::Every(), 0, L"", kNone, 0.0},
    };
    for (const auto& c : cases) {
        container.ClearAllSequences();
        SetUp();  // afresh for every row
        double duration = 0.0;
        for (const std::uint32_t number : {0u, 2u, 4u, 6u, 9u, 254u})
            container.GetSequenceDuration(number, duration);
        EXPECT_EQ(c.operation(container), 0) << c.name << log.Text();
        EXPECT_EQ(changes, c.events) << c.name;
        EXPECT_EQ(lastChange, c.change) << c.name;
        EXPECT_EQ(container.GetSequenceName(c.number), c.sequenceName) << c.name;
        EXPECT_EQ(container.GetCommandSets(c.number), c.steps) << c.name;
        duration = 0.0;
        EXPECT_EQ(container.GetSequenceDuration(c.number, duration), 0) << c.name;
        EXPECT_NEAR(duration, c.duration, 1e-9) << c.name;
    }
}

TEST_F(StandardModelTest, RenumberingRewritesEveryCallOfTheOldNumberOnly) {
    Define(5, L"Delta", {{L"-Call 2"}, {L"-Duration 1"}, {L"-Call 0"}, {L"-Call  02"}});
    ASSERT_EQ(container.ModifySequenceNumber(2, 9), 0) << log.Text();
    EXPECT_EQ(container.GetCommandSets(4), std::vector<CommandSet>{{L"-Call 9"}});
    EXPECT_EQ(
        container.GetCommandSets(5),
        (std::vector<CommandSet>{{L"-Call 9"}, {L"-Duration 1"}, {L"-Call 0"}, {L"-Call 9"}}));
    bool referenced = true;
    ASSERT_EQ(container.IsSequenceReferenced(2, referenced), 0);
    EXPECT_FALSE(referenced);
    ASSERT_EQ(container.IsSequenceReferenced(9, referenced), 0);
    EXPECT_TRUE(referenced);
    ASSERT_EQ(container.IsSequenceReferenced(4, referenced), 0);
    EXPECT_FALSE(referenced);
}

TEST_F(ContainerFixture, AvailableNumbersLabelsAndLabelNumbers) {
    Define(0, L"A", {});
    Define(12, L"Main Seq", {});
    std::vector<std::uint32_t> numbers{999};  // appended to, ascending
    ASSERT_EQ(container.GetAvailableSequenceNumbers(numbers), 0);
    EXPECT_EQ(numbers.size(), 254u);
    EXPECT_EQ(std::vector(numbers.begin(), numbers.begin() + 3), (std::vector{999u, 1u, 2u}));
    EXPECT_EQ(numbers[12], 13u);
    std::wstring used, free;
    ASSERT_EQ(container.GetSequenceLabel(12, used) + container.GetSequenceLabel(13, free), 0);
    EXPECT_EQ(used + L"|" + free, L"12.Main Seq|13.");
    // A blank in the name: the bare label reads the text after the blank.
    const std::pair<std::wstring, std::uint32_t> labels[] = {
        {L"-Call 12.Main Seq", 12}, {L"12.Main Seq", 0}, {L"7.", 7}, {L"-1.A", 4294967295u}};
    for (const auto& [text, expected] : labels) {
        std::uint32_t number = 777;
        ASSERT_EQ(container.ExtractSequenceNumberFromLabel(text, number), 0);
        EXPECT_EQ(number, expected);
    }
}

// Each row: what the subscribers return, in subscription order; which of them run; the result.
TEST(SubscribedEventTest, CallsInOrderAndStopsAtTheFirstNonZero) {
    const struct {
        std::vector<int> returns, calls;
        int result;
    } cases[] = {
        {{}, {}, 0}, {{0, 0, 0}, {0, 1, 2}, 0}, {{0, 7, 0}, {0, 1}, 7}, {{-1, 5}, {0}, -1}};
    for (const auto& c : cases) {
        SubscribedEvent<int()> event;
        std::vector<int> calls;
        for (int i = 0; i < static_cast<int>(c.returns.size()); ++i) {
            EXPECT_EQ(event.Subscribe([&, i] { return calls.push_back(i), c.returns[i]; }),
                      unsigned(i));
        }
        EXPECT_EQ(event.Raise(), c.result);
        EXPECT_EQ(calls, c.calls);
    }
}

TEST(SubscribedEventTest, AnEmptyCallableIsPassedOverAndACallbackMayRaiseAgain) {
    SubscribedEvent<int()> event;
    int depth = 0;
    EXPECT_EQ(event.Subscribe(nullptr), 0u);
    event.Subscribe([&] { return ++depth < 3 ? event.Raise() : 0; });
    EXPECT_EQ(event.Raise(), 0);
    EXPECT_EQ(depth, 3);
}

}  // namespace
