#include <gtest/gtest.h>

#include "FakePrompts.h"
#include "sequences/ContainerFixture.h"

namespace {

using Set = std::vector<std::wstring>;
using Editor = SequenceEditor;

// Sequence 0 is edited; 1 lasts 100 ms; 2 calls 0, so calling 2 from 0 closes a cycle. Columns:
// 4 Blue, 5 Red, 6 Green.
class SequenceEditorTest : public ContainerFixture {
  protected:
    void SetUp() override {
        Define(0, L"Main", {});
        Define(1, L"Clear -Loop", {{L"-Duration 100"}});
        Define(2, L"Caller", {{L"-Call 0"}});
        editor.InitializeGrid(&log, container);
    }
    void Load(const std::vector<Set>& sets) {
        container.RemoveSequence(0);
        Define(0, L"Main", sets);
        editor.LoadSequence(0);
    }
    void Edit(int row, int column, const std::wstring& text) { editor.EndEdit(row, column, text); }
    Set Stored(int row) { return container.GetCommandSets(0)[static_cast<std::size_t>(row)]; }
    std::vector<Set> StoredSets() { return container.GetCommandSets(0); }
    std::wstring Cell(int row, int column) { return editor.CellText(row, column); }

    FakePrompts prompts;
    Editor editor{prompts};
};

TEST_F(SequenceEditorTest, LoopsComeAndGoInPairsAndCountTheBodyEveryTime) {
    Load({{}});
    prompts.numbers = {5};
    Edit(0, Editor::kLoopCallColumn, L"-Loop");
    ASSERT_EQ(editor.RowCount(), 2);
    EXPECT_EQ(StoredSets(), (std::vector<Set>{{L"-Loop 5"}, {L"-EndLoop"}}));
    EXPECT_TRUE(editor.IsReadOnly(1, Editor::kLoopCallColumn));
    EXPECT_EQ(Cell(1, Editor::kDurationColumn), L"0.0");
    for (const wchar_t* duration : {L"2.5", L"10"}) {
        editor.SelectRow(1);
        editor.AddRow();
        Edit(1, Editor::kDurationColumn, duration);
    }
    EXPECT_EQ(Cell(3, Editor::kDurationColumn), L"50.0");
    EXPECT_EQ(editor.TotalText(), L"62.5 ms");
    // Inside the loop no second loop is offered; the end row moves only across body rows.
    EXPECT_EQ(editor.BuildLoopCallChoices(2)[1], L"-Call 1.Clear -Loop");
    editor.SelectRow(3);
    EXPECT_TRUE(!editor.GetButtons().removeRow && editor.GetButtons().moveUp);
    editor.SelectRow(0);
    EXPECT_FALSE(editor.GetButtons().moveUp);
    // A new count keeps the end row; clearing the start removes it and keeps the body.
    prompts.numbers = {3};
    Edit(0, Editor::kLoopCallColumn, L"-Loop");
    EXPECT_EQ(editor.RowCount(), 4);
    Edit(0, Editor::kLoopCallColumn, L"Clear");
    EXPECT_EQ(editor.RowCount(), 3);
    EXPECT_EQ(Cell(0, Editor::kDurationColumn), L"0.1");
    EXPECT_FALSE(editor.IsReadOnly(0, Editor::kDurationColumn));
    EXPECT_EQ(StoredSets().size(), 3u);
}

// Loading classifies by the first word without regard to case; a set the grid cannot show as
// it is, or a row the model refuses, never has its stored commands replaced.
TEST_F(SequenceEditorTest, RowsShowWhatTheModelHolds) {
    Load({{L"-on blue", L"-Duration 5"},
          {L"-Duration 5", L"-Duration 6"},
          {L"-TTLLow 4"},
          {L"-Call 1"},
          {L"-EndLoop"}});
    EXPECT_EQ(Cell(0, 4), L"-On");
    EXPECT_TRUE(!editor.IsRowFrozen(0) && editor.IsRowFrozen(1));
    EXPECT_FALSE(editor.BeginEdit(1, Editor::kDurationColumn).has_value());
    EXPECT_EQ(Cell(2, Editor::kTTLColumn), L" -TTLLow 4");
    EXPECT_EQ(Cell(3, Editor::kDurationColumn), L"100.1");
    EXPECT_EQ(editor.KindOf(3), Editor::RowKind::Call);
    EXPECT_EQ(Cell(4, Editor::kDurationColumn), L"?");

    Edit(0, 6, L"-On");
    EXPECT_EQ(Stored(0), (Set{L"-On Blue", L"-On Green", L"-Duration 5"}));
    prompts.numbers = {300};  // an intensity the model refuses
    Edit(2, Editor::kTTLColumn, L"Clear");
    Edit(2, 5, L"-SetIntensity");
    EXPECT_EQ(Stored(2), Set{L"-Duration 0.1"});
    EXPECT_EQ(Cell(2, 5), L"");

    // A call whose target's name holds "Clear" and "-Loop" is an ordinary call; an unmatched
    // loop end goes on its own.
    editor.SelectRow(4);
    EXPECT_TRUE(editor.GetButtons().removeRow);
    editor.RemoveRow();
    editor.SelectRow(3);
    editor.RemoveRow();
    EXPECT_EQ(StoredSets().size(), 3u);
    EXPECT_EQ(editor.TotalText(), L"11.1 ms");
}

// The device runs a call and then waits out the step's own duration; the rows that follow
// start after both.
TEST_F(SequenceEditorTest, ACallStepLastsItsCallAndItsDuration) {
    Load({{L"-Call 1", L"-Duration 2"}, {L"-Duration 3"}});
    EXPECT_EQ(Cell(0, Editor::kDurationColumn), L"102.0");
    EXPECT_EQ(Cell(1, Editor::kStartColumn), L"102.0");
    EXPECT_EQ(editor.TotalText(), L"105.0 ms");
}

// The cells offer only what the rulebook lets a step hold: an intensity change takes a step
// of its own. A stored step that breaks that (older files hold them) stays editable, so that the
// operator can mend it.
TEST_F(SequenceEditorTest, CellEditsFollowTheRules) {
    Load({{L"-On Green"}, {}, {}, {}, {L"-On Green", L"-SetIntensity Green 128"}});
    EXPECT_EQ(editor.BuildValueChoices(3, 6), (Set{L"Clear", L"-SetIntensity", L"-Off"}));
    prompts.numbers = {128};
    Edit(3, 6, L"-SetIntensity"), Edit(3, 6, L"-Off");
    EXPECT_EQ(Cell(3, 6), L"-SetIntensity(128)");
    EXPECT_EQ(editor.BuildValueChoices(3, 4), Set{L"Clear"});
    EXPECT_EQ(editor.BeginEdit(3, Editor::kTTLColumn)->entries, Set{});
    EXPECT_FALSE(editor.IsRowFrozen(4));
    EXPECT_EQ(editor.BuildValueChoices(4, 6)[1], L"Remove -SetIntensity(128)");
    Edit(4, 6, L"Remove -On");
    EXPECT_EQ(Cell(4, 6), L"-SetIntensity(128) ");
    EXPECT_EQ(Stored(4), (Set{L"-SetIntensity Green 128", L"-Duration 0.1"}));

    for (const wchar_t* bits : {L"-TTLHigh 5", L"-TTLLow 4", L"-TTLHigh 3"}) {
        Edit(1, Editor::kTTLColumn, bits);
    }
    EXPECT_EQ(Cell(1, Editor::kTTLColumn), L"-TTLHigh 3 5 -TTLLow 4");
    EXPECT_EQ(Stored(1), (Set{L"-TTLHigh 3", L"-TTLHigh 5", L"-TTLLow 4", L"-Duration 0.1"}));
    EXPECT_EQ(editor.BuildTTLChoices(L"-TTLHigh 3 5 -TTLLow 4"),
              (Set{L"-TTLHigh 3 5 -TTLLow 4", L"Clear", L"-TTLHigh 6", L"-TTLLow 6"}));

    for (const auto& [typed, shown] :
         {std::pair{L"letters", L"0.1"}, {L"5000000", L"1800000.0"}, {L"7.04", L"7.0"}}) {
        Edit(2, Editor::kDurationColumn, typed);
        EXPECT_EQ(Stored(2), Set{std::wstring(L"-Duration ") + shown});
    }
    // A call that would close a cycle is refused with the rule's box.
    Edit(2, Editor::kLoopCallColumn, L"-Call 2.Caller");
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_TRUE(prompts.messages[0].starts_with(L"Command Usage Error|"));
    EXPECT_EQ(Cell(2, Editor::kLoopCallColumn), L"");
    // Initializing again leaves the page as ClearGrid does.
    editor.InitializeGrid(&log, container);
    EXPECT_EQ(editor.ShownSequence(), Editor::kNoSequence);
    EXPECT_FALSE(editor.GetButtons().addRow || editor.GetButtons().removeRow);
    EXPECT_EQ(editor.TotalText(), L"0 ms");
}

}  // namespace
