#include <gtest/gtest.h>

#include <functional>

#include "FakePrompts.h"
#include "sequences/ContainerFixture.h"
#include "ui/SequenceHistory.h"
#include "ui/SequenceManager.h"
#include "ui/StepCommands.h"

namespace {

using Set = std::vector<std::wstring>;
using Command = SequenceManager::Command;
using Properties = SequenceManagerPrompts::Properties;

// Keeps the steps as the window's stack does, merging as it merges.
class Recorder final : public SequenceHistory {
  public:
    std::vector<SequenceChange> steps;

  protected:
    void Keep(SequenceChange change) override {
        if (steps.empty() || !steps.back().MergeWith(change)) {
            steps.push_back(std::move(change));
        } else if (steps.back().IsEmpty()) {
            steps.pop_back();
        }
    }
};

// Sequence 2 "A" is edited (columns: 4 Blue, 5 Red, 6 Green); 4 "Caller" calls it; 5 "Leaf".
class SequenceUndoTest : public ContainerFixture {
  protected:
    void SetUp() override {
        Define(2, L"A", {{L"-On Blue", L"-Duration 5"}, {L"-TTLHigh 3", L"-Duration 2.0"}, {}});
        Define(4, L"Caller", {{L"-Call 2"}});
        Define(5, L"Leaf", {{L"-Duration 1"}});
        editor.InitializeGrid(&log, container);
        editor.LoadSequence(2);
        steps.Initialize(container);
        steps.SetHistory(&history);
        manager.Initialize(&log, container);
        container.SubscribeToChanges(
            [this](const SequenceContainer::Change&) { return manager.SequencesChanged(), 0; });
        manager.SetHistory(&history);
        manager.SetConnected(true);
    }
    void Select(std::uint32_t number) {
        manager.Reload(number);
        editor.LoadSequence(number);
    }
    void EditDuration(int row, const wchar_t* text) {
        steps.EndEdit(row, SequenceEditor::kDurationColumn, text);
    }
    // The manager's command, its dialog answered with the number and name.
    void RunAnswered(Command command, std::uint32_t number, const wchar_t* name) {
        prompts.properties = {Properties{number, name}};
        manager.Run(command);
    }

    FakePrompts prompts;
    Recorder history;
    SequenceEditor editor{prompts};
    StepCommands steps{editor, prompts};
    SequenceManager manager{prompts};
};

TEST_F(SequenceUndoTest, EveryKindOfChangeUndoesAndRedoesExactly) {
    prompts.file = dir.File("a.cfg");
    const std::vector<std::pair<const char*, std::function<void()>>> changes = {
        {"cell", [&] { EditDuration(1, L"9"); }},
        {"add row", [&] { editor.SelectRow(0), steps.Run(&SequenceEditor::AddRow); }},
        {"move row", [&] { editor.SelectRow(0), steps.Run(&SequenceEditor::MoveRowDown); }},
        {"remove row", [&] { editor.SelectRow(0), steps.Run(&SequenceEditor::RemoveRow); }},
        {"paste", [&] { steps.Paste(L"\t3\t\t-TTLLow 4\t-On\n\t4\t\t\t\t\t-Off\n"); }},
        {"cut", [&] { steps.Cut(1, 2); }},
        {"duplicate steps", [&] { steps.Duplicate(0, 2); }},
        {"add", [&] { RunAnswered(Command::Add, 7, L"New"); }},
        {"rename", [&] { Select(2), RunAnswered(Command::Modify, 2, L"R"); }},
        {"renumber", [&] { Select(2), RunAnswered(Command::Modify, 9, L"B"); }},
        {"remove", [&] { Select(7), manager.Run(Command::Remove); }},
        {"load",
         [&] { Select(9), manager.Run(Command::Save), RunAnswered(Command::Load, 12, L"Loaded"); }},
        {"duplicate", [&] { Select(9), manager.Run(Command::Duplicate); }},
    };
    for (const auto& [name, change] : changes) {
        SCOPED_TRACE(name);
        const auto before = TakeSnapshot(container);
        const std::size_t count = history.steps.size();
        change();
        const auto after = TakeSnapshot(container);
        ASSERT_NE(after, before);
        ASSERT_EQ(history.steps.size(), count + 1);
        ASSERT_TRUE(manager.BeginUpload(L""));
        manager.FinishUpload({});
        EXPECT_EQ(history.steps.back().Undo(container), 0);
        EXPECT_EQ(TakeSnapshot(container), before);
        EXPECT_FALSE(manager.UpToDate());
        EXPECT_EQ(history.steps.back().Redo(container), 0);
        EXPECT_EQ(TakeSnapshot(container), after);
        Select(*history.steps.back().FocusAfter().sequence);
    }
    EXPECT_EQ(container.GetSequenceName(10), L"B copy");
}

TEST_F(SequenceUndoTest, ConsecutiveEditsOfOneCellAreOneStep) {
    const auto initial = TakeSnapshot(container);
    EditDuration(1, L"7");
    EditDuration(1, L"2");  // back to what it held: no step left
    EXPECT_TRUE(history.steps.empty());
    for (const auto& [row, text] : {std::pair{1, L"7"}, {1, L"8"}, {0, L"3"}, {1, L"9"}})
        EditDuration(row, text);
    ASSERT_EQ(history.steps.size(), 3u);
    history.steps[2].Undo(container);
    history.steps[1].Undo(container);
    EXPECT_EQ(container.GetCommandSets(2)[1], (Set{L"-TTLHigh 3", L"-Duration 8.0"}));
    history.steps[0].Undo(container);
    EXPECT_EQ(TakeSnapshot(container), initial);
}

// Steps go out in the grid's texts; a paste the editor's rules refuse pastes nothing.
TEST_F(SequenceUndoTest, PastedStepsFollowTheEditorsRules) {
    EXPECT_EQ(steps.Copy(0, 1), L"0.0\t5\t\t\t-On\t\t\n");
    const std::wstring header =
        L"Start Time(ms)\tDuration(ms)\tLoop/Call\tTTL Out Bit(s)\tBlue\tRed\tGreen";
    const std::vector<std::pair<std::wstring, std::wstring>> cases = {
        {L"0\t5\t\t-TTLHigh 3 -TTLLow 4\t-On\t\t-Off\r\n\t\t-Call 5.Leaf\n", L""},
        {L"\t\t-Loop 3\n\t1\n\t\t-EndLoop\n", L""},
        {header + L"\r\n\t4\n", L""},
        {header + L"\n", L"There are no steps to paste."},
        {L"hello world", L"Pasted row 1: it has no columns."},
        {L"\t1\t\t\t\t\t\t", L"Pasted row 1: it has 8 columns; the grid has 7."},
        {header + L"\n\t1\n\tabc",
         L"Pasted row 3, column \"Duration(ms)\": \"abc\" is not a number; a step lasts 0.1 to "
         L"1800000 milliseconds."},
        {L"\t0.05", L"Pasted row 1, column \"Duration(ms)\": \"0.05\" is out of range"},
        {L"\t\t\t\t-On", L"Pasted row 1, column \"Duration(ms)\": the cell is empty"},
        {L"\t1\t\t-TTLHigh 3 3", L"column \"TTL Out Bit(s)\": \"-TTLHigh 3 3\" does not name"},
        {L"\t1\t\t3", L"does not name each TTL bit"},
        {L"\t1\t\t-TTLLow 9", L"does not name each TTL bit"},
        {L"\t1\t\t\t-On -Off", L"column \"Blue\": the cell holds more than one switch"},
        {L"\t1\t\t\t-SetIntensity(300)",
         L"\"-SetIntensity(300)\" is not -On, -Off or -SetIntensity(0..255)."},
        {L"\t1\t\t\t-On\t-SetIntensity(2)",
         L"column \"Red\": an intensity change shares its step with nothing but a duration."},
        {L"\t\t-Loop 1\n\t\t-EndLoop",
         L"column \"Loop/Call\": a loop count is a whole number from 2 to 1000000."},
        {L"\t\t-Loop 2\n\t1",
         L"Pasted row 1, column \"Loop/Call\": the loop it starts has no end."},
        {L"\t\t-EndLoop", L"the loop end has no loop start"},
        {L"\t\t-Loop 2\n\t\t-Loop 2", L"Pasted row 2, column \"Loop/Call\": a loop cannot start"},
        {L"\t\t-Call 4.Caller", L"nested loop violation"},
        {L"\t\t-Call 99.None", L"calls no defined sequence"},
        {L"\t\t-Goto", L"is neither a loop nor a call"},
        {L"\t\t-Call 5.Leaf\t\t-On", L"column \"Blue\": a loop or call step holds nothing else"},
    };
    for (const auto& [text, reason] : cases) {
        SCOPED_TRACE(text);
        prompts.messages.clear();
        const std::size_t rows = container.GetCommandSets(2).size();
        editor.SelectRow(-1);  // pasted at the end
        EXPECT_EQ(steps.Paste(text), reason.empty());
        EXPECT_EQ(container.GetCommandSets(2).size() > rows, reason.empty());
        if (!reason.empty()) {
            ASSERT_EQ(prompts.messages.size(), 1u);
            EXPECT_NE(prompts.messages[0].find(reason), std::wstring::npos) << prompts.messages[0];
        }
    }
    EXPECT_EQ(container.GetCommandSets(2)[3],
              (Set{L"-On Blue", L"-Off Green", L"-TTLHigh 3", L"-TTLLow 4", L"-Duration 5.0"}));
    // A cut that would part a loop's start from its end is refused too.
    EXPECT_FALSE(steps.Cut(5, 1));
}

}  // namespace
