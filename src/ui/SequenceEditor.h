#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "foundation/VlrDataTypes.h"
#include "ui/StepCells.h"

class LogFile;
class SequenceContainer;

// What the sequence editor asks the operator, so that tests answer instead of a modal dialog.
class SequenceEditorPrompts {
  public:
    virtual ~SequenceEditorPrompts() = default;
    // "Loop Command Properties": a count within the rulebook's loop limits; none when cancelled.
    virtual std::optional<std::uint32_t> AskLoopCount() = 0;
    // "LED Intensity Property": an intensity up to the device's maximum; none when cancelled.
    virtual std::optional<std::uint32_t> AskIntensity() = 0;
    // A rule the operator's choice broke.
    virtual void ShowRuleError(const std::wstring& caption, const std::wstring& text) = 0;
};

// The sequence editor without its window: a mapping between the shown sequence's steps and the
// grid's rows (which cells are read-only, what each offers, the button states). What a step may
// hold is the rulebook's (StepRules), a command's text StepText's, the times the model's. Every
// edit rewrites its row's command set as a whole.
//
// A stored command set the grid cannot show as it is (an unknown word, a command twice, a
// refused call, a loop or call sharing its set) is shown read-only and never rewritten.
class SequenceEditor {
  public:
    using VlrRetVal = VlrDataTypes::VlrRetVal;

    static constexpr int kStartColumn = 0;
    static constexpr int kDurationColumn = 1;
    static constexpr int kLoopCallColumn = 2;
    static constexpr int kTTLColumn = 3;
    static constexpr int kFirstLedColumn = 4;
    static constexpr std::uint32_t kNoSequence = UINT32_MAX;

    enum class RowKind { Ordinary, LoopStart, LoopEnd, Call };

    struct Buttons {
        bool addRow = false;
        bool removeRow = false;
        bool moveUp = false;
        bool moveDown = false;
    };

    // How an edit of a cell starts: an edit box with the text, or a list of choices.
    struct EditorSetup {
        bool choices = false;
        std::wstring text;
        std::vector<std::wstring> entries;
        int selected = -1;
    };

    explicit SequenceEditor(SequenceEditorPrompts& prompts) : prompts_(prompts) {}

    // Links the log (may be null) and the model, and builds the columns for the model's colour
    // labels. The page is then as ClearGrid leaves it.
    void InitializeGrid(LogFile* log, SequenceContainer& container);
    VlrRetVal LoadSequence(std::uint32_t number);
    void ClearGrid();

    std::uint32_t ShownSequence() const { return sequence_; }
    int RowCount() const { return static_cast<int>(rows_.size()); }
    int ColumnCount() const { return kFirstLedColumn + static_cast<int>(labels_.size()); }
    std::wstring ColumnHeader(int column) const;
    static int ColumnWidth(int column);
    const std::wstring& CellText(int row, int column) const { return rows_[row].cells[column]; }
    bool IsReadOnly(int row, int column) const;
    // A row whose stored command set the grid cannot show as it is.
    bool IsRowFrozen(int row) const { return rows_[row].frozen; }
    RowKind KindOf(int row) const;
    // The kind of a row whose Loop/Call cell reads `loopCallText`.
    static RowKind KindOf(const std::wstring& loopCallText);
    const std::wstring& TotalText() const { return total_; }
    const Buttons& GetButtons() const { return buttons_; }
    int CurrentRow() const { return currentRow_; }

    // Rows keep an identity while others come and go, so that an edit finishing late finds its
    // row again or learns that it was removed (-1).
    std::uint64_t RowId(int row) const { return rows_[row].id; }
    int FindRow(std::uint64_t id) const;

    // The edit handlers: none when the cell is read-only. EndEdit applies the chosen entry or
    // the typed text and reports whether the row changed.
    std::optional<EditorSetup> BeginEdit(int row, int column) const;
    bool EndEdit(int row, int column, const std::wstring& chosen);

    // The choice builders.
    std::vector<std::wstring> BuildValueChoices(int row, int column) const;
    std::vector<std::wstring> BuildLoopCallChoices(int row) const;
    std::vector<std::wstring> BuildTTLChoices(const std::wstring& cellText) const;

    void SelectRow(int row);
    void AddRow();
    void RemoveRow();
    void MoveRowUp();
    void MoveRowDown();

    // The commands a row stands for, in the order they are stored.
    std::vector<std::wstring> RowCommands(int row) const;
    // Rows of cells that may hold anything (pasted ones) to go in at `row`: their command sets
    // (durations written as the grid writes them), or the first row breaking a rule, a call
    // closing a cycle or the loop pairing (loops do not nest, and each closes among the rows).
    struct RowRefusal {
        std::size_t index;
        StepCells::Refusal refusal;
    };
    std::optional<RowRefusal> ReadRows(std::vector<StepCells::Cells> rows, int row,
                                       std::vector<CommandSet>& sets) const;
    // The partner of every loop start and loop end row, -1 when it has none.
    std::vector<int> MatchLoops() const;
    // Rewrites the row's command set; when the model refuses it, the row shows the model's set.
    VlrRetVal CommitRow(int row);
    VlrRetVal UpdateTimes();

    // A TTL cell with one more -TTLHigh or -TTLLow bit: "-TTLHigh 3 5 -TTLLow 4".
    std::optional<std::wstring> UpdateTTLCellText(const std::wstring& cellText,
                                                  const std::wstring& command) const;

  private:
    struct Row {
        std::uint64_t id = 0;
        std::vector<std::wstring> cells;
        std::vector<bool> readOnly;
        bool frozen = false;
    };

    void LogError(const std::wstring& message) const;
    // The commands a row showing `cells` (one text per column) would stand for.
    std::vector<std::wstring> CommandsOf(const std::vector<std::wstring>& cells) const;
    // The step those commands make, as far as the rulebook reads it.
    Step StepOf(const std::vector<std::wstring>& cells) const;
    // Whether a loop may start at `row` by the rulebook's pairing of the rows above (loops do
    // not nest).
    bool LoopMayStartAt(int row) const;
    std::optional<std::vector<std::wstring>> Tokens(const std::wstring& text) const;
    Row NewRow();
    VlrRetVal InsertRow(int position, bool inModel);
    VlrRetVal RemoveRowAt(int row);
    void SwapRows(int a, int b);
    void SetRowCellsReadOnly(bool readOnly, int row, int exceptColumn);
    void SetLoopCallCell(int row, const std::wstring& text);
    void ShowCommandSet(int row, const std::vector<std::wstring>& stored);
    bool ShowCommand(int row, const Step& command, const std::wstring& text);
    bool MayJoin(int row, int column, SequenceCommandWords::Word word) const;
    std::vector<std::wstring> CanonicalCommands(const std::vector<std::wstring>& texts) const;
    void LogUnshown(const StepRules::Refusal& refusal) const;
    std::optional<StepCells::Refusal> ReadRow(StepCells::Cells& cells, bool loopAbove,
                                              std::vector<Step>& steps) const;
    std::optional<std::uint32_t> CalledSequence(const std::wstring& callText) const;
    VlrRetVal ApplyCall(int row, const std::wstring& callText);
    std::optional<std::wstring> AddLoop(int row, const std::wstring& oldText);
    void UpdateButtons();
    bool EndEditValue(int row, int column, const std::wstring& chosen);
    bool EndEditLoopCall(int row, const std::wstring& chosen);
    bool EndEditTTL(int row, const std::wstring& chosen);

    SequenceEditorPrompts& prompts_;
    LogFile* log_ = nullptr;
    SequenceContainer* container_ = nullptr;
    std::uint32_t sequence_ = kNoSequence;
    std::vector<std::wstring> labels_;
    std::vector<std::wstring> ttlBits_;
    std::vector<Row> rows_;
    std::uint64_t nextId_ = 1;
    int currentRow_ = -1;
    std::wstring total_ = L"0 ms";
    Buttons buttons_;
};
