#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "device/MicroController.h"
#include "foundation/StepText.h"
#include "sequences/ContainerFixture.h"
#include "sequences/SequenceContainer.h"
#include "sequences/SubscribedEvent.h"

namespace {

#define OP(...) [](SequenceContainer& c) { return __VA_ARGS__; }

const std::wstring kRange255 =
    L"Error validating sequence number.  The sequence number(255) is out of range(0..254).";
const std::wstring kCannotHold =
    L"contains a double quote, # or //, which a settings file cannot hold.";
// Texts of 960 characters are the longest whose lines a settings file can hold.
const std::wstring kLongestName(960, L'n');
const std::wstring kLongestCommand = L"-Duration " + std::wstring(949, L'0') + L"5";
const std::vector<CommandSet> kAlpha = {{L"-SetIntensity Blue 100", L"-Duration 10"},
                                        {L"-Off Blue"}};
const std::vector<CommandSet> kWithLongest = {kAlpha[0], {L"-Off Blue", kLongestCommand}};
const std::vector<CommandSet> kLoop = {{L"-Loop 3"}, {L"-Duration 5"}, {L"-EndLoop"}};
const std::vector<CommandSet> kLoopWithGap = {kLoop[0], {}, kLoop[1], kLoop[2]};
const std::vector<CommandSet> kLoopSwapped = {kLoop[1], kLoop[0], kLoop[2]};

// Sequences 0 (two steps), 2 (no steps), 4 (calls 2) and 6 (a loop); every other slot is free.
class StandardModelTest : public ContainerFixture {
  protected:
    void SetUp() override {
        Define(0, L"Alpha", kAlpha);
        Define(2, L"Beta", {});
        Define(4, L"Gamma", {{L"-Call 2"}});
        Define(6, L"Loop", kLoop);
        ResetRecords();
    }
};

// A line of a settings file cannot carry a control character: names, commands and LED labels
// holding one are refused where they are given.
TEST_F(StandardModelTest, ControlCharactersAreRefusedInNamesCommandsAndLabels) {
    MicroController device(&log);
    const ModelSnapshot before = TakeSnapshot(container);
    for (const wchar_t code : {L'\n', L'\0', L'\x7F'}) {
        const std::wstring c(1, code);
        const std::wstring what = L"contains a control character (code " +
                                  std::to_wstring(static_cast<unsigned>(code)) +
                                  L"), which a settings file cannot hold.";
        EXPECT_EQ(container.AddSequence(7, L"Run" + c + L"2"), -1);
        EXPECT_EQ(container.RenameSequence(0, c), -1);
        EXPECT_EQ(container.AddCommand(0, 1, L"-On" + c + L"Blue"), -1);
        EXPECT_EQ(device.AddLED(L"Blue" + c, 0.0), -1);
        EXPECT_EQ(ErrorMessages(),
                  (std::vector<std::wstring>{
                      L"Error, the sequence name " + what, L"Error, the sequence name " + what,
                      L"Error adding command to sequence 0 and command set 1.  The command " + what,
                      L"Error adding LED color, the color label " + what}));
        ResetRecords();
    }
    EXPECT_EQ(TakeSnapshot(container), before);
    EXPECT_EQ(device.GetLEDCount(), 0);
}

// Each failure logs exactly its one message, returns -1, raises no event and changes nothing.
TEST_F(StandardModelTest, FailuresLogTheirMessageAndChangeNothing) {
    const struct {
        std::function<int(SequenceContainer&)> operation;
        std::wstring message;
    } cases[] = {
        {OP(c.ModifySequenceNumber(0, 255)), kRange255},
        {OP(c.AddSequence(7, L"")),
         L"Error validating the sequence name.  The sequence name is blank."},
        {OP(c.AddSequence(7, L"aLPHA")),
         L"Error validating the sequence name, the sequence name(aLPHA) must be unique."},
        {OP(c.AddSequence(7, L"Say \"hi\"")),
         L"Error, the sequence name (Say \"hi\") " + kCannotHold},
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

// Each success raises the change event once (renumbering twice) and leaves the slots it names so,
// timed as its texts read though every sequence was timed before the change.
TEST_F(StandardModelTest, SuccessesRaiseTheEventAndChangeTheModel) {
    const struct {
        const char* name;
        std::function<int(SequenceContainer&)> operation;
        int events;
        std::uint32_t number;
        std::wstring sequenceName;
        std::vector<CommandSet> steps;
        double duration;
    } cases[] = {
        {"AddRedefinesAUsedSlot", OP(c.AddSequence(0, L"Fresh")), 1, 0, L"Fresh", {}, 0.0},
        {"AddLongestName", OP(c.AddSequence(254, kLongestName)), 1, 254, kLongestName, {}, 0.0},
        {"RenameOfAFreeSlotUsesIt", OP(c.RenameSequence(8, L"New")), 1, 8, L"New", {}, 0.0},
        {"RemoveLeavesTheCall", OP(c.RemoveSequence(2)), 1, 4, L"Gamma", {{L"-Call 2"}}, 0.1},
        {"ModifyMovesTheSequence", OP(c.ModifySequenceNumber(0, 9)), 2, 9, L"Alpha", kAlpha, 10.1},
        {"ModifyEmptiesTheOldSlot", OP(c.ModifySequenceNumber(0, 9)), 2, 0, L"", {}, 0.0},
        {"AddSetInALoop", OP(c.AddCommandSet(6, 1)), 1, 6, L"Loop", kLoopWithGap, 15.3},
        {"RemoveSetMovesLaterUp", OP(c.RemoveCommandSet(0, 0)), 1, 0, L"Alpha", {kAlpha[1]}, 0.1},
        {"ClearSetKeepsIt", OP(c.ClearCommandSet(0, 0)), 1, 0, L"Alpha", {{}, kAlpha[1]}, 0.2},
        {"SwapOutOfTheLoop", OP(c.SwapCommandSets(6, 0, 1)), 1, 6, L"Loop", kLoopSwapped, 5.0},
        {"AddLongestCommandVerbatim", OP(c.AddCommand(0, 1, kLongestCommand)), 1, 0, L"Alpha",
         kWithLongest, 15.0},
        {"CalledSequenceChanged", OP(c.AddCommandSet(2, 0)), 1, 4, L"Gamma", {{L"-Call 2"}}, 0.2},
        {"ClearAll", OP(c.ClearAllSequences()), 1, 0, L"", {}, 0.0},
    };
    for (const auto& c : cases) {
        container.ClearAllSequences();
        SetUp();  // afresh for every row
        double duration = 0.0;
        for (const std::uint32_t number : {0u, 2u, 4u, 6u, 9u, 254u}) {
            container.GetSequenceDuration(number, duration);
        }
        EXPECT_EQ(c.operation(container), 0) << c.name << log.Text();
        EXPECT_EQ(changes, c.events) << c.name;
        EXPECT_EQ(container.GetSequenceName(c.number), c.sequenceName) << c.name;
        EXPECT_EQ(container.GetCommandSets(c.number), c.steps) << c.name;
        duration = 0.0;
        EXPECT_EQ(container.GetSequenceDuration(c.number, duration), 0) << c.name;
        EXPECT_NEAR(duration, c.duration, 1e-9) << c.name;
    }
}

// Each event names the sequence and the steps it changed, so that a reader re-reads just those;
// an inserted or removed step moves every later one. Applied in order to one model.
TEST_F(StandardModelTest, EachEventNamesWhatChanged) {
    using Change = SequenceContainer::Change;
    constexpr std::size_t kEnd = Change::kToTheEnd;
    const std::pair<std::function<int(SequenceContainer&)>, Change> cases[] = {
        {OP(c.AddSequence(8, L"New")), {8, 0, kEnd}},
        {OP(c.RenameSequence(8, L"Newer")), {8, 0, 0}},
        {OP(c.AddCommandSet(6, 1)), {6, 1, kEnd}},
        {OP(c.AddCommand(6, 1, L"-Duration 2")), {6, 1, 2}},
        {OP(c.SwapCommandSets(6, 3, 1)), {6, 1, 4}},
        {OP(c.ClearCommandSet(6, 2)), {6, 2, 3}},
        {OP(c.ReplaceCommandSet(6, 2, {L"-On Blue"})), {6, 2, 3}},
        {OP(c.RemoveCommandSet(6, 2)), {6, 2, kEnd}},
        {OP(c.RemoveSequence(8)), {8, 0, kEnd}},
        {OP(c.ModifySequenceNumber(2, 9)), Change::Every()},
        {OP(c.ClearAllSequences()), Change::Every()},
    };
    for (const auto& [operation, change] : cases) {
        ASSERT_EQ(operation(container), 0) << log.Text();
        EXPECT_EQ(lastChange, change) << lastChange.sequence << " " << lastChange.firstStep;
    }
}

TEST_F(StandardModelTest, RenumberingRewritesEveryCallOfTheOldNumberOnly) {
    Define(5, L"Delta", {{L"-Call 2"}, {L"-Duration 1"}, {L"-Call 0"}, {L"-Call  02"}});
    ResetRecords();
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

std::wstring Verify(const std::wstring& word, const std::wstring& problem) {
    return L"Error verifying " + word + L" command, the " + problem;
}

std::wstring Count(const std::wstring& word, int expected, int given) {
    return L"Error, the " + word + L" command expects " + std::to_wstring(expected) +
           L" arguments.  There were " + std::to_wstring(given) + L" specified.";
}

std::wstring Added(const std::wstring& text, const std::wstring& problem) {
    return L"Error adding command(" + text + L") to sequence 1 and command set 0" + problem;
}

// Quotes and // are refused by the same check as in names. Sequence 0 exists to be called; each
// command goes into sequence 1's empty set. An empty message means the command is stored verbatim.
TEST_F(ContainerFixture, CommandsAreAcceptedOrRefusedWithTheirMessage) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"-on blue", L""},
        {L"-On Purple", Verify(L"-On", L"color value(Purple) at index 0 is invalid.")},
        {L"-OFF Blue Red", Count(L"-Off", 1, 2)},
        {L"-setintensity RED 255", L""},
        {L"-SetIntensity Blue 12abc", L""},
        {L"-SetIntensity Blue 256",
         Verify(L"-SetIntensity", L"intensity(256) is out of range(0...255).")},
        {L"-CALL 0", L""},
        {L"-Call 09", Verify(L"-Call",
                             L"sequence number(09) at index 0 is invalid.  There is not a "
                             L"valid sequence at the sequence number specified.")},
        {L"-Call 300",
         L"Error validating sequence number.  The sequence number(300) is out of range(0..254)."},
        {L"-loop 2", L""},
        {L"-Loop 1", Verify(L"-Loop", L"loop count(1) is out of range(2...1000000).")},
        {L"-Loop 99999999999",
         Verify(L"-Loop", L"loop count(2147483647) is out of range(2...1000000).")},
        {L"-EndLoop 1", Count(L"-EndLoop", 0, 1)},
        {L"-duration 1800000ms", L""},
        {L"-Duration 0.09",
         Verify(L"-Duration", L"duration(0.1) is out of range(0.1...1800000.0).")},
        {L"-Duration fast",
         Verify(L"-Duration", L"duration(0.0) is out of range(0.1...1800000.0).")},
        {L"-TTLLow 7", L"Error verifying -TTLLow command, the TTL bit (7) is invalid."},
        {L"-Blink Blue", Added(L"-Blink Blue", L".  The command is invalid.")},
        {L"-Duration 5#x", Added(L"-Duration 5#x", L".  The command " + kCannotHold)},
    };
    Define(0, L"Callee", {{L"-Duration 2"}});
    Define(1, L"Target", {{}});
    for (const auto& [text, message] : cases) {
        ResetRecords();
        const int result = container.AddCommand(1, 0, text);
        if (message.empty()) {
            EXPECT_EQ(result, 0) << log.Text();
            EXPECT_EQ(container.GetCommandSets(1), std::vector<CommandSet>{{text}});
            ASSERT_EQ(container.ClearCommandSet(1, 0), 0);
            EXPECT_EQ(changes, 2);
        } else {
            EXPECT_EQ(result, -1) << text;
            EXPECT_EQ(ErrorMessages(), std::vector<std::wstring>{message});
            EXPECT_EQ(container.GetCommandSets(1), std::vector<CommandSet>{{}});
            EXPECT_EQ(changes, 0);
        }
    }
}

// Each set keeps the step its texts make through every change of texts, sets, numbers and names,
// also where a command is refused (the step then ends before it).
TEST_F(StandardModelTest, EachSetKeepsTheStepItsTextsMake) {
    const std::vector<CommandSet> kMixed = {{L"-On Blue", L"-SetIntensity Red 9", L"-TTLHigh 3"},
                                            {L"-Call 2", L"-Duration 2"},
                                            {L"-TTLHigh 4", L"-Off Green"}};
    const struct {
        const char* name;
        std::function<int(SequenceContainer&)> change;
        int result;
    } cases[] = {
        {"Append", OP(c.AddCommand(8, 2, L"-On Red")), 0},
        {"AppendAfterARefusal", OP(c.AddCommand(8, 0, L"-Duration 4")), 0},
        {"CallTakenBack", OP(c.AddCommandSet(2, 0), c.AddCommand(2, 0, L"-Call 4")), -1},
        {"Replace", OP(c.ReplaceCommandSet(8, 2, {L"-SetIntensity Green 5"})), 0},
        {"ReplaceRefused", OP(c.ReplaceCommandSet(8, 2, {L"-On Red", L"-Blink"})), -1},
        {"Swap", OP(c.SwapCommandSets(8, 0, 2)), 0},
        {"Insert", OP(c.AddCommandSet(8, 0)), 0},
        {"Remove", OP(c.RemoveCommandSet(8, 0)), 0},
        {"Clear", OP(c.ClearCommandSet(8, 2)), 0},
        {"Renumber", OP(c.ModifySequenceNumber(2, 9)), 0},
        {"NewColourLabels", OP(c.SetColorLabels({L"Green", L"Blue", L"Red"}), 0), 0},
        {"NewTTLNames", OP(c.SetTTLBitNames({L"6", L"5", L"4", L"3"}), 0), 0},
    };
    for (const auto& c : cases) {
        container.SetColorLabels({L"Blue", L"Red", L"Green"});
        container.SetTTLBitNames({L"3", L"4", L"5", L"6"});
        container.ClearAllSequences();
        SetUp();  // afresh for every row
        Define(8, L"Mixed", kMixed);
        EXPECT_EQ(c.change(container), c.result) << c.name;
        const StepRules::Context context{container.GetColorLabels(), container.GetTTLBitNames(),
                                         nullptr};
        for (const std::uint32_t number : container.UsedSequenceNumbers()) {
            const std::vector<CommandSet>& sets = container.GetCommandSets(number);
            for (std::uint32_t set = 0; set < sets.size(); ++set) {
                const StepText::Reading read =
                    StepText::Read(sets[set], context, StepText::Judging::AsTheDeviceReads);
                const std::optional<std::size_t> refused =
                    read.refusal ? std::optional(read.refusal->index) : std::nullopt;
                // Stops at the first stale step: a set list out of line would read past its end.
                ASSERT_TRUE(container.GetStep(number, set) == read.step &&
                            container.GetRefusedCommand(number, set) == refused)
                    << c.name << " sequence " << number << " set " << set;
            }
        }
    }
}

// A refused command anywhere in the new set leaves the old set whole, with no change event; an
// accepted set replaces the old one with one event.
TEST_F(ContainerFixture, ReplacingACommandSetIsAllOrNothing) {
    Define(1, L"Outer", {{L"-Duration 5"}});
    Define(0, L"Inner", {{L"-Call 1"}});
    Define(2, L"Edited", {{L"-On Blue", L"-Duration 2"}});
    const struct {
        std::uint32_t number;
        CommandSet texts;
        bool accepted;
    } kCases[] = {
        {2, {L"-Off Blue", L"-Flash Blue", L"-Duration 3"}, false},
        {2, {L"-Off Blue", L"-Loop 3"}, false},  // a -Loop must open its set
        {1, {L"-Call 0"}, false},                // a call cycle, found by timing
        {2, {L"-Off Blue", L"-TTLHigh 3", L"-Duration 3"}, true},
    };
    for (const auto& c : kCases) {
        const ModelSnapshot before = TakeSnapshot(container);
        ResetRecords();
        EXPECT_EQ(container.ReplaceCommandSet(c.number, 0, c.texts), c.accepted ? 0 : -1);
        if (c.accepted) {
            EXPECT_EQ(container.GetCommandSets(c.number)[0], c.texts);
            EXPECT_EQ(changes, 1);
        } else {
            EXPECT_EQ(TakeSnapshot(container), before) << c.texts[1];
            EXPECT_EQ(changes, 0);
        }
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
