#include <gtest/gtest.h>

#include <QtTest/QTest>
#include <QtWidgets>

#include "FakePrompts.h"
#include "app/ScratchModels.h"
#include "ui/SequenceEditorPage.h"

namespace {

// An edit ends through queued calls: Qt's commit on Enter, then the page's.
void Settle() {
    for (int turn = 0; turn < 3; ++turn)
        QCoreApplication::processEvents();
}

// The page showing the samples' "Demo trial" (sequence 3): two call rows, then ordinary rows.
class SequenceEditorPageTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(models_.ReadSetupFile(OSTRA_SOURCE_DIR L"/data/OstraSetup.cfg"), 0);
        const std::wstring demo = OSTRA_SOURCE_DIR L"/samples/settings/DemoProtocol.cfg";
        ASSERT_EQ(models_.processor.ProcessConfigFile(demo), 0);
        page_.resize(1000, 420);
        page_.show();
        page_.Initialize(&models_.log, models_.sequences);
        page_.ShowSequence(3);
    }
    QModelIndex Index(int row, int column) { return page_.Grid()->model()->index(row, column); }
    void StartEdit(int row, int column) {
        page_.Grid()->setCurrentIndex(Index(row, column));
        page_.Grid()->edit(Index(row, column));
    }
    void DoubleClick(int row, int column) {
        const QPoint centre = page_.Grid()->visualRect(Index(row, column)).center();
        QTest::mouseClick(page_.Grid()->viewport(), Qt::LeftButton, {}, centre);
        QTest::mouseDClick(page_.Grid()->viewport(), Qt::LeftButton, {}, centre);
    }
    // Closed editors are deleted later: the open one is the visible one.
    template <typename Widget>
    Widget* OpenEditorOf() {
        for (Widget* widget : page_.Grid()->viewport()->findChildren<Widget*>()) {
            if (widget->isVisible())
                return widget;
        }
        return nullptr;
    }
    // What the grid shows is what a fresh editor shows from the model's sets.
    void ExpectModelHoldsTheGrid() {
        Settle();
        SequenceEditor fresh(prompts_);
        fresh.InitializeGrid(nullptr, models_.sequences);
        fresh.LoadSequence(3);
        const SequenceEditor& shown = page_.Logic();
        ASSERT_EQ(fresh.RowCount(), shown.RowCount());
        for (int row = 0; row < shown.RowCount(); ++row) {
            for (int column = 0; column < shown.ColumnCount(); ++column) {
                EXPECT_EQ(fresh.CellText(row, column), shown.CellText(row, column))
                    << row << "," << column;
            }
        }
    }

    ScratchModels models_;
    FakePrompts prompts_;
    SequenceEditorPage page_{prompts_};
};

TEST_F(SequenceEditorPageTest, ReadOnlyCellsOpenNoEditorChoicesAreTheLogicsAndTabSkips) {
    ASSERT_TRUE(page_.grab().save(QStringLiteral(OSTRA_SCREENSHOT_DIR "/sequence-editor.png")));
    DoubleClick(0, SequenceEditor::kDurationColumn);
    EXPECT_EQ(OpenEditorOf<QWidget>(), nullptr);
    DoubleClick(2, SequenceEditor::kFirstLedColumn);
    auto* box = OpenEditorOf<QComboBox>();
    ASSERT_NE(box, nullptr);
    const auto entries = page_.Logic().BeginEdit(2, SequenceEditor::kFirstLedColumn)->entries;
    ASSERT_EQ(box->count(), static_cast<int>(entries.size()));
    EXPECT_EQ(box->itemText(0).toStdWString() + box->itemText(box->count() - 1).toStdWString(),
              entries.front() + entries.back());
    // Tab skips read-only cells and leaves the grid after the last.
    page_.Grid()->setFocus();
    StartEdit(0, SequenceEditor::kLoopCallColumn);
    QTest::keyClick(OpenEditorOf<QComboBox>(), Qt::Key_Tab);
    EXPECT_EQ(page_.Grid()->currentIndex(), Index(1, SequenceEditor::kLoopCallColumn));
    ASSERT_NE(OpenEditorOf<QComboBox>(), nullptr);
    QTest::keyClick(OpenEditorOf<QComboBox>(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(page_.Grid()->currentIndex(), Index(0, SequenceEditor::kLoopCallColumn));
    StartEdit(page_.Logic().RowCount() - 1, SequenceEditor::kLoopCallColumn);
    QTest::keyClick(OpenEditorOf<QComboBox>(), Qt::Key_Tab);
    Settle();
    EXPECT_EQ(OpenEditorOf<QComboBox>(), nullptr);
    EXPECT_FALSE(page_.Grid()->hasFocus());
    ExpectModelHoldsTheGrid();
}

TEST_F(SequenceEditorPageTest, EditingADurationUpdatesTimesAndTheModel) {
    StartEdit(2, SequenceEditor::kDurationColumn);
    auto* edit = OpenEditorOf<QLineEdit>();
    ASSERT_NE(edit, nullptr);
    edit->setText(QStringLiteral("250"));
    QTest::keyClick(edit, Qt::Key_Return);
    Settle();
    EXPECT_EQ(page_.Logic().CellText(2, SequenceEditor::kDurationColumn), L"250.0");
    EXPECT_EQ(page_.findChild<QLabel*>("totalTime")->text().toStdWString(),
              page_.Logic().TotalText());
    ExpectModelHoldsTheGrid();

    // An edit finishes in a call queued by its commit: when its row is removed before that call
    // runs, it stores nothing (neither in the row that took the removed one's place).
    page_.findChild<QPushButton*>("addRow")->click();
    ASSERT_FALSE(page_.Logic().IsReadOnly(3, SequenceEditor::kDurationColumn));
    StartEdit(2, SequenceEditor::kDurationColumn);
    edit = OpenEditorOf<QLineEdit>();
    edit->setText(QStringLiteral("777"));
    QTest::keyClick(edit, Qt::Key_Return);
    QCoreApplication::processEvents();  // the commit, which queues the finish
    page_.findChild<QPushButton*>("removeRow")->click();
    Settle();
    const std::string stored = testing::PrintToString(models_.sequences.GetCommandSets(3));
    EXPECT_EQ(stored.find("777"), std::string::npos) << stored;
    ExpectModelHoldsTheGrid();
}

// A click below the last row leaves no row current (Remove and the moves follow), and Add Row
// then appends after the last row, a closing -EndLoop included, not at the row current before.
TEST_F(SequenceEditorPageTest, AClickOnEmptySpaceClearsTheRowAndAddRowAppends) {
    QTableView* grid = page_.Grid();
    const int rows = page_.Logic().RowCount();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(Index(1, 0)).center());
    ASSERT_EQ(page_.Logic().CurrentRow(), 1);
    const QRect last = grid->visualRect(Index(rows - 1, 0));
    const QPoint below(last.center().x(), last.bottom() + last.height());
    ASSERT_TRUE(grid->viewport()->rect().contains(below));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, below);
    EXPECT_EQ(page_.Logic().CurrentRow(), -1);
    for (const char* button : {"removeRow", "moveRowUp", "moveRowDown"})
        EXPECT_FALSE(page_.findChild<QPushButton*>(button)->isEnabled()) << button;
    const std::vector<std::wstring> lastRow = page_.Logic().RowCommands(rows - 1);
    page_.findChild<QPushButton*>("addRow")->click();
    ASSERT_EQ(page_.Logic().RowCount(), rows + 1);
    EXPECT_EQ(page_.Logic().RowCommands(rows - 1), lastRow);
    EXPECT_EQ(page_.Logic().CurrentRow(), rows);
    ExpectModelHoldsTheGrid();
}

}  // namespace
