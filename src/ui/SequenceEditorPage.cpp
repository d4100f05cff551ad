#include "ui/SequenceEditorPage.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QVBoxLayout>
#include <algorithm>

#include "foundation/StepRules.h"
#include "ui/FontUnits.h"
#include "ui/GridColumnWidths.h"
#include "ui/SequenceValidation.h"

namespace {

QString Text(const std::wstring& text) {
    return QString::fromStdWString(text);
}

// The grid ends an edit when the editor commits; Qt may commit one editor twice (Tab, then the
// focus leaving), so each editor commits once.
bool FirstCommit(QWidget* editor) {
    if (editor->property("ostraCommitted").toBool()) {
        return false;
    }
    editor->setProperty("ostraCommitted", true);
    return true;
}

// The Duration column: a plain edit box with the cell's text selected.
class DurationDelegate final : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex&) const override {
        auto* edit = new QLineEdit(parent);
        edit->setObjectName(QStringLiteral("durationEditor"));
        return edit;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        auto* edit = static_cast<QLineEdit*>(editor);
        edit->setText(index.data(Qt::EditRole).toString());
        edit->selectAll();
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        if (FirstCommit(editor)) {
            model->setData(index, static_cast<QLineEdit*>(editor)->text(), Qt::EditRole);
        }
    }
};

// A drop-down list that tells when an entry was picked from its open list, as opposed to
// stepping through the entries with the arrow keys.
class ChoiceBox final : public QComboBox {
  public:
    ChoiceBox(QWidget* parent, const std::function<void(ChoiceBox*)>& picked) : QComboBox(parent) {
        connect(this, &QComboBox::activated, this, [this, picked] {
            if (listClosed_) {
                listClosed_ = false;
                picked(this);
            }
        });
    }
    void hidePopup() override {
        QComboBox::hidePopup();
        // A pick closes the list and is announced right after; Escape closes it alone.
        listClosed_ = true;
        QMetaObject::invokeMethod(
            this, [this] { listClosed_ = false; }, Qt::QueuedConnection);
    }

  private:
    bool listClosed_ = false;
};

// The Loop/Call, TTL and LED columns: a list of the choices the editor offers for the cell. An
// entry picked from the open list applies at once; Escape closes the editor without applying
// anything, as any Qt editor does.
class ChoiceDelegate final : public QStyledItemDelegate {
  public:
    ChoiceDelegate(const SequenceEditor& editor, QObject* parent)
        : QStyledItemDelegate(parent), editor_(editor) {}
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex&) const override {
        auto* self = const_cast<ChoiceDelegate*>(this);
        auto* box = new ChoiceBox(parent, [self](ChoiceBox* picked) {
            emit self->commitData(picked);
            emit self->closeEditor(picked, QAbstractItemDelegate::NoHint);
        });
        box->setObjectName(QStringLiteral("choiceEditor"));
        return box;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        auto* box = static_cast<QComboBox*>(editor);
        box->clear();
        if (const auto setup = editor_.BeginEdit(index.row(), index.column())) {
            for (const std::wstring& entry : setup->entries) {
                box->addItem(Text(entry));
            }
            box->setCurrentIndex(setup->selected);
        }
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        auto* box = static_cast<QComboBox*>(editor);
        if (FirstCommit(editor) && box->currentIndex() >= 0) {
            model->setData(index, box->currentText(), Qt::EditRole);
        }
    }

  private:
    const SequenceEditor& editor_;
};

}  // namespace

int SequenceGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int SequenceGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columns_;
}

QVariant SequenceGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= editor_.RowCount()) {
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        return Text(editor_.CellText(index.row(), index.column()));
    }
    if (role == Qt::ForegroundRole && editor_.IsRowFrozen(index.row())) {
        // Dimmed as the palette dims, readable on a light or a dark one.
        return QApplication::palette().brush(QPalette::Disabled, QPalette::Text);
    }
    if (role == Qt::DecorationRole || role == Qt::ToolTipRole) {
        // The operator reads what to do; the message log keeps the conversion's own words.
        if (const std::optional<std::wstring> advice = Advice(index)) {
            return role == Qt::ToolTipRole ? QVariant(Text(*advice))
                                           : QVariant(QApplication::style()->standardIcon(
                                                 QStyle::SP_MessageBoxCritical));
        }
    }
    return {};
}

std::optional<std::wstring> SequenceGridModel::Advice(const QModelIndex& index) const {
    if (validation_ == nullptr || editor_.ShownSequence() == SequenceEditor::kNoSequence) {
        return std::nullopt;
    }
    return validation_->CellAdvice(editor_.ShownSequence(), index.row(), index.column());
}

QVariant SequenceGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section < columns_) {
        return Text(editor_.ColumnHeader(section));
    }
    return {};
}

Qt::ItemFlags SequenceGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid() || index.row() >= editor_.RowCount()) {
        return Qt::NoItemFlags;
    }
    const Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    return editor_.IsReadOnly(index.row(), index.column()) ? flags : flags | Qt::ItemIsEditable;
}

bool SequenceGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable)) {
        return false;
    }
    onEdit_(index.row(), index.column(), value.toString());
    return true;
}

void SequenceGridModel::Refresh() {
    if (rows_ != editor_.RowCount() || columns_ != editor_.ColumnCount()) {
        beginResetModel();
        rows_ = editor_.RowCount();
        columns_ = editor_.ColumnCount();
        endResetModel();
    } else if (rows_ > 0 && columns_ > 0) {
        emit dataChanged(index(0, 0), index(rows_ - 1, columns_ - 1));
    }
}

QModelIndex SequenceGridView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    if (action != MoveNext && action != MovePrevious) {
        return QTableView::moveCursor(action, modifiers);
    }
    const int columns = model()->columnCount();
    const int cells = model()->rowCount() * columns;
    const QModelIndex current = currentIndex();
    const int step = action == MoveNext ? 1 : -1;
    int position =
        current.isValid() ? current.row() * columns + current.column() : (step > 0 ? -1 : cells);
    for (position += step; position >= 0 && position < cells; position += step) {
        const QModelIndex next = model()->index(position / columns, position % columns);
        if (next.flags() & Qt::ItemIsEditable) {
            return next;
        }
    }
    return {};
}

void SequenceGridView::keyPressEvent(QKeyEvent* event) {
    const bool tab = event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab;
    if (!tab || (event->modifiers() & Qt::ControlModifier)) {
        QTableView::keyPressEvent(event);
        return;
    }
    const bool back = event->key() == Qt::Key_Backtab || (event->modifiers() & Qt::ShiftModifier);
    const QModelIndex next = moveCursor(back ? MovePrevious : MoveNext, event->modifiers());
    if (!next.isValid()) {
        event->ignore();
        return;
    }
    setCurrentIndex(next);
    edit(next);
    event->accept();
}

// A click below the last row leaves no row current: Add Row then appends, after any -EndLoop.
void SequenceGridView::mousePressEvent(QMouseEvent* event) {
    if (!indexAt(event->position().toPoint()).isValid()) {
        clearSelection();
        setCurrentIndex(QModelIndex());
        return;
    }
    QTableView::mousePressEvent(event);
}

void SequenceGridView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    const bool moving = hint == QAbstractItemDelegate::EditNextItem ||
                        hint == QAbstractItemDelegate::EditPreviousItem;
    const bool forward = hint == QAbstractItemDelegate::EditNextItem;
    const bool leave = moving && !moveCursor(forward ? MoveNext : MovePrevious, {}).isValid();
    QTableView::closeEditor(editor, hint);
    if (leave) {
        focusNextPrevChild(forward);
    }
}

std::optional<std::uint32_t> QtSequenceEditorPrompts::AskLoopCount() {
    bool ok = false;
    const int count = QInputDialog::getInt(
        parent_, QStringLiteral("Loop Command Properties"), QStringLiteral("Enter Loop Count:"),
        StepRules::kMinLoopCount, StepRules::kMinLoopCount, StepRules::kMaxLoopCount, 1, &ok);
    return ok ? std::optional<std::uint32_t>(static_cast<std::uint32_t>(count)) : std::nullopt;
}

std::optional<std::uint32_t> QtSequenceEditorPrompts::AskIntensity() {
    constexpr auto kMaxIntensity = static_cast<int>(StepRules::kMaxIntensity);
    bool ok = false;
    const int value = QInputDialog::getInt(
        parent_, QStringLiteral("LED Intensity Property"),
        QStringLiteral("Enter LED Intensity Value:\nValid Range: 0..%1").arg(kMaxIntensity), 0, 0,
        kMaxIntensity, 1, &ok);
    return ok ? std::optional<std::uint32_t>(static_cast<std::uint32_t>(value)) : std::nullopt;
}

void QtSequenceEditorPrompts::ShowRuleError(const std::wstring& caption, const std::wstring& text) {
    QMessageBox::critical(parent_, Text(caption), Text(text));
}

SequenceEditorPage::SequenceEditorPage(SequenceEditorPrompts& prompts, QWidget* parent)
    : QWidget(parent),
      editor_(prompts),
      steps_(editor_, prompts),
      model_(editor_, [this](int row, int column, const QString& text) {
          QMetaObject::invokeMethod(
              this, [this, id = editor_.RowId(row), column, text] { FinishEdit(id, column, text); },
              Qt::QueuedConnection);
      }) {
    setObjectName(QStringLiteral("sequenceEditorPage"));
    grid_ = new SequenceGridView;
    grid_->setObjectName(QStringLiteral("sequenceGrid"));
    grid_->setModel(&model_);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::ContiguousSelection);
    grid_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    grid_->verticalHeader()->hide();
    grid_->verticalHeader()->setDefaultSectionSize(FontUnits::Height(grid_, 19));
    // A small window takes its height from the timeline and the log before the grid.
    grid_->setMinimumHeight(FontUnits::TableHeight(grid_, 4));
    auto* duration = new DurationDelegate(grid_);
    grid_->setItemDelegate(new ChoiceDelegate(editor_, grid_));
    grid_->setItemDelegateForColumn(SequenceEditor::kDurationColumn, duration);
    grid_->viewport()->installEventFilter(this);
    // Widths the operator drags are kept (the window remembers them between runs).
    connect(grid_->horizontalHeader(), &QHeaderView::sectionResized, this, [this] {
        if (fitting_) {
            return;
        }
        std::vector<int> widths;
        for (int column = 0; column < editor_.ColumnCount(); ++column) {
            widths.push_back(grid_->columnWidth(column));
        }
        operatorWidths_ = GridColumnWidths::ToText(widths);
        emit operatorColumnWidthsChanged(operatorWidths_);
    });
    connect(grid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                editor_.SelectRow(current.isValid() ? current.row() : -1);
                Refresh();
            });

    const auto button = [this](const char* text, const char* name,
                               void (SequenceEditor::*operation)()) {
        auto* pushButton = new QPushButton(QString::fromLatin1(text));
        pushButton->setObjectName(QString::fromLatin1(name));
        pushButton->setAutoDefault(false);
        connect(pushButton, &QPushButton::clicked, this, [this, operation] { Run(operation); });
        return pushButton;
    };
    addRow_ = button("Add Row", "addRow", &SequenceEditor::AddRow);
    removeRow_ = button("Remove Row", "removeRow", &SequenceEditor::RemoveRow);
    moveUp_ = button("Move Row Up", "moveRowUp", &SequenceEditor::MoveRowUp);
    moveDown_ = button("Move Row Down", "moveRowDown", &SequenceEditor::MoveRowDown);
    total_ = new QLabel;
    total_->setObjectName(QStringLiteral("totalTime"));
    totalProblem_ = new QLabel;
    totalProblem_->setObjectName(QStringLiteral("totalTimeProblem"));

    auto* buttons = new QHBoxLayout;
    for (QWidget* widget : {addRow_, removeRow_, moveUp_, moveDown_}) {
        buttons->addWidget(widget);
    }
    buttons->addStretch(1);
    // On a line of its own: beside the buttons it held a small window wider than the screen.
    auto* total = new QHBoxLayout;
    total->addWidget(new QLabel(QStringLiteral("Total Sequence Time:")));
    total->addWidget(total_);
    total->addWidget(totalProblem_, 1);
    auto* box = new QGroupBox(QStringLiteral("Sequence Setup"));
    auto* boxLayout = new QVBoxLayout(box);
    boxLayout->addWidget(grid_);
    boxLayout->addLayout(buttons);
    boxLayout->addLayout(total);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(box);
    BuildStepActions();
    Refresh();
}

void SequenceEditorPage::Initialize(LogFile* log, SequenceContainer& container) {
    editor_.InitializeGrid(log, container);
    steps_.Initialize(container);
    Refresh();
    FitColumns();
}

void SequenceEditorPage::SetOperatorColumnWidths(const std::wstring& text) {
    operatorWidths_ = text;
    FitColumns();
}

// The operator's widths when they were set for this grid; otherwise each column as wide as its
// cells and its header need, within the grid.
void SequenceEditorPage::FitColumns() {
    const int columns = editor_.ColumnCount();
    std::vector<int> widths = GridColumnWidths::FromText(operatorWidths_, columns);
    if (widths.empty()) {
        const QAbstractItemView* view = grid_;
        std::vector<int> least;
        std::vector<int> needed;
        std::vector<int> comfortable;
        for (int column = 0; column < columns; ++column) {
            least.push_back(grid_->horizontalHeader()->sectionSizeHint(column));
            needed.push_back(view->sizeHintForColumn(column));
            comfortable.push_back(FontUnits::Width(grid_, SequenceEditor::ColumnWidth(column)));
        }
        widths = GridColumnWidths::Fit(least, needed, comfortable, grid_->viewport()->width());
    }
    // The view hears of the new widths; the operator's memory does not.
    fitting_ = true;
    for (int column = 0; column < columns; ++column) {
        grid_->setColumnWidth(column, widths[column]);
    }
    fitting_ = false;
}

// The grid's own width decides: the page may be resized while hidden, the grid only later.
bool SequenceEditorPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == grid_->viewport() && event->type() == QEvent::Resize) {
        FitColumns();
    }
    return QWidget::eventFilter(watched, event);
}

void SequenceEditorPage::SetValidation(const SequenceValidation* validation) {
    validation_ = validation;
    model_.SetValidation(validation);
    Refresh();
}

void SequenceEditorPage::ShowSequence(std::uint32_t number) {
    editor_.LoadSequence(number);
    Refresh();
    FitColumns();
}

void SequenceEditorPage::Clear() {
    editor_.ClearGrid();
    Refresh();
}

void SequenceEditorPage::ShowModelChange() {
    editor_.UpdateTimes();
    Refresh();
}

void SequenceEditorPage::FinishEdit(std::uint64_t rowId, int column, const QString& text) {
    const int row = editor_.FindRow(rowId);
    if (row >= 0) {
        steps_.EndEdit(row, column, text.toStdWString());
        Refresh();
    }
}

void SequenceEditorPage::Run(void (SequenceEditor::*operation)()) {
    steps_.Run(operation);
    Refresh();
}

void SequenceEditorPage::Refresh() {
    model_.Refresh();
    const SequenceEditor::Buttons& buttons = editor_.GetButtons();
    addRow_->setEnabled(buttons.addRow);
    removeRow_->setEnabled(buttons.removeRow);
    moveUp_->setEnabled(buttons.moveUp);
    moveDown_->setEnabled(buttons.moveDown);
    total_->setText(Text(editor_.TotalText()));
    // After the total, never in it: the reason is the tooltip.
    const std::optional<std::wstring> cannotRun =
        validation_ == nullptr || editor_.ShownSequence() == SequenceEditor::kNoSequence
            ? std::nullopt
            : validation_->SequenceReason(editor_.ShownSequence());
    totalProblem_->setText(cannotRun ? QStringLiteral("(cannot run)") : QString());
    totalProblem_->setToolTip(cannotRun ? Text(*cannotRun) : QString());
    const bool usable = isEnabled();
    const bool row = usable && editor_.CurrentRow() >= 0;
    for (QAction* action : {cut_, copy_, duplicate_}) {
        action->setEnabled(row);
    }
    paste_->setEnabled(usable && buttons.addRow);
    stepUp_->setEnabled(usable && buttons.moveUp);
    stepDown_->setEnabled(usable && buttons.moveDown);
    // The view follows the editor's current row without telling the editor again.
    const int current = editor_.CurrentRow();
    const QModelIndex shown = grid_->currentIndex();
    if (current >= 0 && shown.row() != current) {
        const QSignalBlocker blocker(grid_->selectionModel());
        const int column = shown.isValid() ? shown.column() : 0;
        grid_->selectionModel()->setCurrentIndex(
            model_.index(current, column),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        grid_->viewport()->update();
    }
}

void SequenceEditorPage::SelectRow(int row) {
    editor_.SelectRow(row);
    Refresh();
}

// The window disables the pages while a device operation runs; the actions follow.
void SequenceEditorPage::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange && cut_ != nullptr) {
        Refresh();
    }
}

std::pair<int, int> SequenceEditorPage::SelectedSteps() const {
    const QModelIndexList rows = grid_->selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        return {editor_.CurrentRow(), editor_.CurrentRow() >= 0 ? 1 : 0};
    }
    const auto [low, high] = std::minmax_element(
        rows.begin(), rows.end(),
        [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    return {low->row(), high->row() - low->row() + 1};
}

void SequenceEditorPage::BuildStepActions() {
    const auto action = [this](const char* text, const char* name, const QKeySequence& keys,
                               auto handler) {
        auto* added = new QAction(QString::fromLatin1(text), this);
        added->setObjectName(QString::fromLatin1(name));
        added->setShortcut(keys);
        added->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(added, &QAction::triggered, this, [this, handler] {
            handler();
            Refresh();
        });
        addAction(added);
        stepActions_.append(added);
        return added;
    };
    const auto clipboard = [] { return QGuiApplication::clipboard(); };
    cut_ = action("Cu&t Steps", "cutSteps", QKeySequence::Cut, [this, clipboard] {
        const auto [first, count] = SelectedSteps();
        if (const std::optional<std::wstring> text = steps_.Cut(first, count)) {
            clipboard()->setText(Text(*text));
        }
    });
    copy_ = action("&Copy Steps", "copySteps", QKeySequence::Copy, [this, clipboard] {
        const auto [first, count] = SelectedSteps();
        clipboard()->setText(Text(steps_.Copy(first, count)));
    });
    paste_ = action("&Paste Steps", "pasteSteps", QKeySequence::Paste,
                    [this, clipboard] { steps_.Paste(clipboard()->text().toStdWString()); });
    duplicate_ =
        action("&Duplicate Steps", "duplicateSteps", QKeySequence(Qt::CTRL | Qt::Key_D), [this] {
            const auto [first, count] = SelectedSteps();
            steps_.Duplicate(first, count);
        });
    stepUp_ = action("Move Step &Up", "moveStepUp", QKeySequence(Qt::ALT | Qt::Key_Up),
                     [this] { steps_.Run(&SequenceEditor::MoveRowUp); });
    stepDown_ = action("Move Step Do&wn", "moveStepDown", QKeySequence(Qt::ALT | Qt::Key_Down),
                       [this] { steps_.Run(&SequenceEditor::MoveRowDown); });
}
