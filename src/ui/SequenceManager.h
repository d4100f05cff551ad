#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/SequenceRun.h"
#include "app/SequenceUpload.h"

class LogFile;
class SequenceContainer;
class SequenceHistory;

// What the sequence manager asks the operator; tests answer instead of modal dialogs.
class SequenceManagerPrompts {
  public:
    struct Properties {
        std::uint32_t number = 0;
        std::wstring name;
    };
    virtual ~SequenceManagerPrompts() = default;
    // Why chosen properties cannot be taken; none when they were taken.
    using PropertiesCheck = std::function<std::optional<std::wstring>(const Properties&)>;
    // The "Sequence Properties" dialog over the offered numbers; nothing when cancelled. With a
    // check, OK runs it and a refusal is shown in a box over the dialog, which stays open.
    virtual std::optional<Properties> AskProperties(const std::vector<std::uint32_t>& numbers,
                                                    std::size_t preselect, const std::wstring& name,
                                                    const PropertiesCheck& check = nullptr) = 0;
    // Empty when cancelled.
    virtual std::wstring AskOpenFile() = 0;
    virtual std::wstring AskSaveFile(const std::wstring& proposed) = 0;
    virtual void ShowMessage(const std::wstring& caption, const std::wstring& text) = 0;
    // A success the operator is told of, in a plain information box.
    virtual void ShowInformation(const std::wstring& text) = 0;
    virtual bool Confirm(const std::wstring& caption, const std::wstring& text) = 0;
};

// The sequence manager page without widgets: the list of used sequences, the menu's flows, and
// the upload and run state. Every enabled state follows from the state alone (View).
class SequenceManager {
  public:
    enum class Command { Add, Modify, Remove, Load, Save, Duplicate };
    struct Row {
        std::uint32_t number = 0;
        std::wstring name;
    };
    struct View {
        bool menu = false;
        bool upload = false;
        bool startStop = false;
        std::wstring startStopText;
    };
    // What the page runs on the worker: sequence `number`, whose end timer lasts timerMs.
    struct StartRequest {
        std::uint32_t number = 0;
        std::int64_t timerMs = 0;
    };

    explicit SequenceManager(SequenceManagerPrompts& prompts) : prompts_(prompts) {}

    // Links the model and rebuilds the list, selecting the highest-numbered sequence.
    void Initialize(LogFile* log, SequenceContainer& sequences);
    // The model changed: the device's copy is out of date. Called on this object's thread
    // (the window hands the model's change event over).
    void SequencesChanged() { upToDate_ = false; }
    const std::vector<Row>& Rows() const { return rows_; }
    int SelectedRow() const { return selected_; }
    // The sequence the editor shows; nothing when the list is empty.
    std::optional<std::uint32_t> Shown() const;
    void Select(int row);
    // Rebuilds the list from the model (after an undo), selecting `number` when it is used.
    void Reload(std::optional<std::uint32_t> number) { Rebuild(number); }

    // Each command that changes the sequences goes to the history (may be null) as one step.
    void SetHistory(SequenceHistory* history) { history_ = history; }
    void Run(Command command);

    void SetConnected(bool connected);
    void SetBusy(bool busy) { busy_ = busy; }
    View ComputeView() const;
    bool Executing() const { return executing_; }
    bool UpToDate() const { return upToDate_; }

    // False when the upload must not go: `incompleteSettings` (file and line of a settings
    // file that stopped early, or empty) is shown first.
    bool BeginUpload(const std::wstring& incompleteSettings);
    void FinishUpload(const SequenceUpload::Result& result);

    // Nothing when the start is not possible (a message said why when there is one).
    std::optional<StartRequest> BeginStart();
    // The page ran the sequence: it ended on its own, was stopped, or failed to start.
    void FinishRun(const SequenceRun::Result& result);

  private:
    using Properties = SequenceManagerPrompts::Properties;
    using PropertiesCheck = SequenceManagerPrompts::PropertiesCheck;
    void Rebuild(std::optional<std::uint32_t> select);
    void RunFlow(Command command);
    // Every free number; with none the operator is told so, before any dialog opens.
    std::vector<std::uint32_t> FreeNumbers();
    std::optional<Properties> AskFreeNumber(const PropertiesCheck& check = nullptr);
    void Add();
    void Modify(const Row& row);
    void Remove(const Row& row);
    void Load();
    void Save(const Row& row);
    void Duplicate(const Row& row);
    SequenceManagerPrompts& prompts_;
    SequenceHistory* history_ = nullptr;
    LogFile* log_ = nullptr;
    SequenceContainer* sequences_ = nullptr;
    std::vector<Row> rows_;
    int selected_ = -1;
    bool connected_ = false;
    bool busy_ = false;
    bool executing_ = false;
    // An upload succeeded after the last change of the model.
    bool upToDate_ = false;
};
