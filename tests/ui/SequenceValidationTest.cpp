#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "sequences/ContainerFixture.h"
#include "ui/KeyboardShortcuts.h"
#include "ui/SequenceEditor.h"
#include "ui/SequenceValidation.h"

namespace {

using testing::ElementsAre, testing::HasSubstr, testing::Pair;
constexpr int kLoopCall = SequenceEditor::kLoopCallColumn;

// Sequences "S<number>" of Blue, Red and Green (columns 4, 5, 6), judged as the window judges.
class SequenceValidationTest : public ContainerFixture {
  protected:
    void Define(std::uint32_t number, const std::vector<CommandSet>& sets) {
        ContainerFixture::Define(number, L"S" + std::to_wstring(number), sets);
    }

    SequenceValidation validation{container};
};

// Each sequence is one case; the refused cell is the one the conversion stops at.
TEST_F(SequenceValidationTest, RefusedCellsCarryTheConversionsReason) {
    Define(1, {{L"-On Blue", L"-Duration 5"}, {L"-Loop 2"}, {L"-Duration 1"}, {L"-EndLoop"}});
    Define(2, {{L"-Duration 3"}, {L"-SetIntensity Blue 200", L"-TTLHigh 3"}});
    Define(4, {{L"-Loop 3"}, {L"-Duration 5"}});
    Define(5, {{L"-Loop 2"}, {L"-Duration 1"}, {L"-Loop 3"}, {L"-EndLoop"}});
    Define(6, {{L"-Duration 1"}, {L"-EndLoop"}});
    Define(7, {{L"-On Blue", L"-SetIntensity Blue 9"}});
    validation.Recompute();

    // The refused cells; their tooltips say what to do, in the grid's words.
    const std::pair<SequenceValidation::Cell, std::wstring> advice[] = {
        {{2, 1, SequenceEditor::kTTLColumn},
         L"An intensity change needs a step of its own: move -TTLHigh 3 to another row."},
        {{4, 0, kLoopCall},
         L"This loop has no -EndLoop: clear the -Loop and choose it again, which adds one."},
        {{5, 2, kLoopCall},
         L"A loop cannot start inside another loop: end the loop above first, or clear this "
         L"-Loop."},
        {{6, 1, kLoopCall}, L"This -EndLoop ends no loop: choose -Loop in a row above it."},
        {{7, 0, 4},
         L"An intensity change needs a step of its own: move -SetIntensity Blue 9 to another row."},
    };
    std::vector<SequenceValidation::Cell> advised;
    for (const auto& [cell, text] : advice) {
        advised.push_back(cell);
        EXPECT_EQ(std::apply([&](auto... at) { return validation.CellAdvice(at...); }, cell), text);
    }
    // Each carries the conversion's own words (its tests pin them).
    std::vector<SequenceValidation::Cell> marked;
    for (const auto& [cell, reason] : validation.Cells()) {
        marked.push_back(cell);
        EXPECT_EQ(validation.SequenceReason(std::get<0>(cell)), reason);
    }
    EXPECT_EQ(marked, advised);
    EXPECT_EQ(validation.SequenceReason(1), std::nullopt);
    EXPECT_EQ(validation.UploadRefusal(),
              L"Sequence 2 (S2) cannot be converted to script commands; nothing was uploaded. " +
                  validation.SequenceReason(2).value_or(L"none"));

    // Mended, the marks and the refusal go at the next recompute.
    ASSERT_EQ(container.ClearAllSequences(), 0);
    validation.Recompute();
    EXPECT_TRUE(validation.Cells().empty());
    EXPECT_EQ(validation.UploadRefusal(), std::nullopt);
}

// A recompute judges the changed sequences and their callers again, and logs nothing: a call the
// model let in is refused once its callee goes, and a renumbering may close a cycle of calls.
TEST_F(SequenceValidationTest, CallersAreJudgedAgainWhenTheirCalleeChanges) {
    Define(8, {{L"-Duration 1"}});
    Define(7, {{L"-Call 8"}});
    validation.Recompute();
    EXPECT_TRUE(validation.Cells().empty());
    ASSERT_EQ(container.RemoveSequence(8), 0);
    validation.Recompute();
    // In the model's own words, which its tests pin.
    EXPECT_THAT(validation.Cells(), ElementsAre(Pair(SequenceValidation::Cell{7, 0, kLoopCall},
                                                     HasSubstr(L"sequence number(8)"))));
    Define(12, {{L"-Call 7"}});
    ASSERT_EQ(container.ModifySequenceNumber(12, 8), 0);
    validation.Recompute();
    EXPECT_TRUE(validation.Cells().empty());
    EXPECT_THAT(validation.SequenceReason(7).value_or(L""), HasSubstr(L"infinite loop"));
    // Judged without a word in the operator's log.
    EXPECT_TRUE(log.messages.empty()) << log.Text();
}

TEST(KeyboardShortcutsTest, ShortcutFirstThenTheMenuKeys) {
    using KeyboardShortcuts::Row;
    const std::vector<Row> rows = KeyboardShortcuts::List({
        {{L"&File"}, L"&Open Settings File", L""},
        {{L"&Edit"}, L"&Undo", L"Ctrl+Z"},
        {{}, L"Stop All", L"Ctrl+."},
        {{L"&Help"}, L"About", L""},
        {{L"Save && &Load"}, L"A && &b", L""},
    });
    EXPECT_EQ(rows, (std::vector<Row>{{L"Open Settings File", L"Alt+F, O"},
                                      {L"Undo", L"Ctrl+Z  (Alt+E, U)"},
                                      {L"Stop All", L"Ctrl+."},
                                      {L"About", L""},
                                      {L"A & b", L"Alt+L, B"}}));
}

}  // namespace
