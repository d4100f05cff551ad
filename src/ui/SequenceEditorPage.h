#pragma once

#include <QAbstractTableModel>
#include <QTableView>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "ui/SequenceEditor.h"
#include "ui/StepCommands.h"

class LogFile;
class QAction;
class QLabel;
class QPushButton;
class SequenceContainer;
class SequenceValidation;

// The editor's cells for a QTableView. Only cells the editor lets the operator change are
// editable, so a read-only cell never opens an editor.
class SequenceGridModel final : public QAbstractTableModel {
    Q_OBJECT
  public:
    using EditHandler = std::function<void(int row, int column, const QString& text)>;
    SequenceGridModel(const SequenceEditor& editor, EditHandler onEdit)
        : editor_(editor), onEdit_(std::move(onEdit)) {}

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Hands the edited text to the page; the cell changes when the editor applied it.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    // Shows the editor's current cells.
    void Refresh();
    // Refused cells get a mark and what to do about them as tooltip; may be null.
    void SetValidation(const SequenceValidation* validation) { validation_ = validation; }

  private:
    std::optional<std::wstring> Advice(const QModelIndex& index) const;

    const SequenceEditor& editor_;
    const SequenceValidation* validation_ = nullptr;
    EditHandler onEdit_;
    int rows_ = 0;
    int columns_ = 0;
};

// Tab and Shift+Tab go to the next and previous editable cell and start its edit, skipping
// read-only cells; past the last one the focus leaves the grid.
class SequenceGridView final : public QTableView {
    Q_OBJECT
  public:
    using QTableView::QTableView;

  protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
};

// Dialogs of the editor: the loop count, the intensity and the rule messages.
class QtSequenceEditorPrompts final : public SequenceEditorPrompts {
  public:
    explicit QtSequenceEditorPrompts(QWidget* parent) : parent_(parent) {}
    std::optional<std::uint32_t> AskLoopCount() override;
    std::optional<std::uint32_t> AskIntensity() override;
    void ShowRuleError(const std::wstring& caption, const std::wstring& text) override;

  private:
    QWidget* parent_;
};

// The "Sequence Setup" page: the grid of the shown sequence, the four row buttons and the
// total time. The window shows here the sequence chosen in the manager (ShowSequence, Clear).
class SequenceEditorPage final : public QWidget {
    Q_OBJECT
  public:
    explicit SequenceEditorPage(SequenceEditorPrompts& prompts, QWidget* parent = nullptr);

    // Links the models, at start-up and after a settings file was read; shows no sequence.
    void Initialize(LogFile* log, SequenceContainer& container);
    void ShowSequence(std::uint32_t number);
    void Clear();
    // After the model changed: a sequence the shown one calls may last otherwise now.
    void ShowModelChange();
    const SequenceEditor& Logic() const { return editor_; }
    SequenceGridView* Grid() const { return grid_; }
    // Marks what the validation refuses (it may be null) and keeps the marks current.
    void SetValidation(const SequenceValidation* validation);
    void ShowValidation() { Refresh(); }
    // Every change goes to the history as one step (null: none is recorded).
    void SetHistory(SequenceHistory* history) { steps_.SetHistory(history); }
    void SelectRow(int row);
    // Cut, Copy, Paste, Duplicate and the moves of steps, for the window's Edit menu; their
    // shortcuts work while the focus is on this page.
    QList<QAction*> StepActions() const { return stepActions_; }
    // Column widths the operator chose before (GridColumnWidths::ToText); they replace the
    // fitted ones while they suit the grid.
    void SetOperatorColumnWidths(const std::wstring& text);

  signals:
    // The operator dragged a column's border: every width, as GridColumnWidths::ToText.
    void operatorColumnWidthsChanged(const std::wstring& widths);

  protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Applies a finished edit, from a queued call: its dialogs never open inside the
    // delegate's commit, and an edit whose row went away meanwhile stores nothing.
    void FinishEdit(std::uint64_t rowId, int column, const QString& text);
    void Run(void (SequenceEditor::*operation)());
    void Refresh();
    void FitColumns();
    void BuildStepActions();
    // The selected rows: the first and how many (the current row when none is selected).
    std::pair<int, int> SelectedSteps() const;

    SequenceEditor editor_;
    StepCommands steps_;
    SequenceGridModel model_;
    SequenceGridView* grid_ = nullptr;
    QPushButton* addRow_ = nullptr;
    QPushButton* removeRow_ = nullptr;
    QPushButton* moveUp_ = nullptr;
    QPushButton* moveDown_ = nullptr;
    QLabel* total_ = nullptr;
    QLabel* totalProblem_ = nullptr;
    const SequenceValidation* validation_ = nullptr;
    std::wstring operatorWidths_;
    bool fitting_ = false;
    QList<QAction*> stepActions_;
    QAction* cut_ = nullptr;
    QAction* copy_ = nullptr;
    QAction* paste_ = nullptr;
    QAction* duplicate_ = nullptr;
    QAction* stepUp_ = nullptr;
    QAction* stepDown_ = nullptr;
};
