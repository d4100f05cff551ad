#include "ui/SequenceManager.h"

#include <algorithm>
#include <cwctype>

#include "app/SequenceFiles.h"
#include "foundation/LogFile.h"
#include "foundation/TextConversion.h"
#include "sequences/SequenceContainer.h"
#include "ui/SequenceHistory.h"

namespace {

const wchar_t kSelectionError[] =
    L"You must select an item from the list before selecting a sequence option.";

bool EqualNoCase(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](wchar_t x, wchar_t y) { return std::towlower(x) == std::towlower(y); });
}

}  // namespace

void SequenceManager::Initialize(LogFile* log, SequenceContainer& sequences) {
    log_ = log;
    sequences_ = &sequences;
    upToDate_ = false;
    const std::vector<std::uint32_t> used = sequences.UsedSequenceNumbers();
    Rebuild(used.empty() ? std::nullopt : std::optional<std::uint32_t>(used.back()));
}

// The list always comes from the model, so a failed operation can never leave a row behind
// that the model does not hold.
void SequenceManager::Rebuild(std::optional<std::uint32_t> select) {
    rows_.clear();
    selected_ = -1;
    if (sequences_ == nullptr) {
        return;
    }
    for (const std::uint32_t number : sequences_->UsedSequenceNumbers()) {
        if (select && number == *select) {
            selected_ = static_cast<int>(rows_.size());
        }
        rows_.push_back({number, sequences_->GetSequenceName(number)});
    }
}

std::optional<std::uint32_t> SequenceManager::Shown() const {
    if (selected_ < 0) {
        return std::nullopt;
    }
    return rows_[static_cast<std::size_t>(selected_)].number;
}

void SequenceManager::Select(int row) {
    selected_ = row >= 0 && row < static_cast<int>(rows_.size()) ? row : -1;
}

void SequenceManager::Run(Command command) {
    if (history_ == nullptr || sequences_ == nullptr || command == Command::Save) {
        RunFlow(command);
        return;
    }
    static const wchar_t* const kTexts[] = {L"Add Sequence",       L"Modify Sequence",
                                            L"Remove Sequence",    L"Load Sequence File",
                                            L"Save Sequence File", L"Duplicate Sequence"};
    SequenceChange change(*sequences_, kTexts[static_cast<int>(command)], std::nullopt,
                          {Shown(), -1});
    RunFlow(command);
    change.Finish(*sequences_, {Shown(), -1});
    history_->Record(std::move(change));
}

void SequenceManager::RunFlow(Command command) {
    if (command == Command::Add) {
        Add();
        return;
    }
    if (command == Command::Load) {
        Load();
        return;
    }
    if (selected_ < 0) {
        prompts_.ShowMessage(L"Selection Error", kSelectionError);
        return;
    }
    const Row row = rows_[static_cast<std::size_t>(selected_)];
    switch (command) {
        case Command::Modify:
            Modify(row);
            break;
        case Command::Remove:
            Remove(row);
            break;
        case Command::Save:
            Save(row);
            break;
        case Command::Duplicate:
            Duplicate(row);
            break;
        default:
            break;
    }
}

// With every number used the dialog would offer none; refuse before it opens rather than
// take number 0 and redefine that sequence.
std::vector<std::uint32_t> SequenceManager::FreeNumbers() {
    std::vector<std::uint32_t> free;
    sequences_->GetAvailableSequenceNumbers(free);
    if (free.empty()) {
        prompts_.ShowMessage(L"Error",
                             L"Every sequence number is in use.  Please remove a "
                             L"sequence before adding another.");
    }
    return free;
}

std::optional<SequenceManager::Properties> SequenceManager::AskFreeNumber(
    const PropertiesCheck& check) {
    const std::vector<std::uint32_t> free = FreeNumbers();
    if (free.empty()) {
        return std::nullopt;
    }
    return prompts_.AskProperties(free, 0, L"", check);
}

// The sequence is added when the dialog's OK is pressed; what the model refuses keeps the
// dialog open with the reason, so that the operator can mend the name.
void SequenceManager::Add() {
    if (sequences_ == nullptr) {
        return;
    }
    const std::optional<Properties> added = AskFreeNumber([this](const Properties& chosen) {
        const std::uint64_t errorsBefore = log_ != nullptr ? log_->GetErrorCount() : 0;
        if (sequences_->AddSequence(chosen.number, chosen.name) == 0) {
            return std::optional<std::wstring>();
        }
        return std::optional<std::wstring>(log_ != nullptr && log_->GetErrorCount() > errorsBefore
                                               ? log_->GetLastError()
                                               : L"The sequence cannot be added with this name.");
    });
    if (added) {
        Rebuild(added->number);
    }
}

void SequenceManager::Modify(const Row& row) {
    std::vector<std::uint32_t> offered;
    sequences_->GetAvailableSequenceNumbers(offered);
    const auto at = std::lower_bound(offered.begin(), offered.end(), row.number);
    const std::size_t preselect = static_cast<std::size_t>(at - offered.begin());
    offered.insert(at, row.number);
    const std::optional<Properties> chosen = prompts_.AskProperties(offered, preselect, row.name);
    if (!chosen) {
        return;
    }
    std::uint32_t number = row.number;
    if (chosen->number != row.number) {
        if (sequences_->ModifySequenceNumber(row.number, chosen->number) != 0) {
            Rebuild(row.number);
            return;
        }
        number = chosen->number;
    }
    if (!EqualNoCase(chosen->name, row.name)) {
        sequences_->RenameSequence(number, chosen->name);
    }
    Rebuild(number);
}

void SequenceManager::Remove(const Row& row) {
    bool referenced = false;
    if (sequences_->IsSequenceReferenced(row.number, referenced) != 0) {
        return;
    }
    if (referenced) {
        prompts_.ShowMessage(L"Error",
                             L"Unable to remove sequence, the sequence is being used by other "
                             L"sequences.  Please delete all references to this sequence and try "
                             L"again.");
        return;
    }
    if (!prompts_.Confirm(L"Remove Sequence", L"Are you sure you want to remove sequence " +
                                                  row.name + L" at index " +
                                                  std::to_wstring(row.number) + L"?")) {
        return;
    }
    if (sequences_->RemoveSequence(row.number) != 0) {
        return;
    }
    const std::size_t position = static_cast<std::size_t>(selected_);
    Rebuild(std::nullopt);
    if (!rows_.empty()) {
        selected_ = static_cast<int>(std::min(position, rows_.size() - 1));
    }
}

void SequenceManager::Load() {
    if (sequences_ == nullptr) {
        return;
    }
    std::vector<std::uint32_t> free;
    sequences_->GetAvailableSequenceNumbers(free);
    if (free.empty()) {
        AskFreeNumber();  // tells the operator, opens nothing
        return;
    }
    const std::wstring path = prompts_.AskOpenFile();
    if (path.empty()) {
        return;
    }
    const std::optional<Properties> chosen = AskFreeNumber();
    if (!chosen) {
        return;
    }
    // The import is all or nothing: a failure leaves no sequence of this load behind, and an
    // existing sequence is never touched.
    const OperationResult result =
        SequenceFiles::ImportSequenceFile(*sequences_, chosen->number, chosen->name, path, log_);
    if (!result) {
        prompts_.ShowMessage(L"Error",
                             L"Unable to load sequence file " + path + L".  " + result.Message());
        Rebuild(Shown());
        return;
    }
    Rebuild(chosen->number);
}

void SequenceManager::Save(const Row& row) {
    std::wstring name = row.name;
    std::replace(name.begin(), name.end(), L'/', L'_');
    const std::wstring path = prompts_.AskSaveFile(L"VlrSequenceFile(" + name + L").cfg");
    if (path.empty()) {
        return;
    }
    const OperationResult result =
        SequenceFiles::SaveSequenceFile(*sequences_, row.number, path, log_);
    if (!result) {
        prompts_.ShowMessage(L"Error",
                             L"Unable to save sequence file " + path + L".  " + result.Message());
    }
}

// The copy takes the next free number after the original's and the name "<name> copy" (then
// "<name> copy 2", ...), without a dialog.
void SequenceManager::Duplicate(const Row& row) {
    const std::vector<std::uint32_t> free = FreeNumbers();
    if (free.empty()) {
        return;
    }
    const auto next = std::upper_bound(free.begin(), free.end(), row.number);
    const std::uint32_t number = next != free.end() ? *next : free.front();
    std::wstring name = row.name + L" copy";
    const std::vector<std::uint32_t> used = sequences_->UsedSequenceNumbers();
    const auto taken = [&](const std::wstring& candidate) {
        return std::any_of(used.begin(), used.end(), [&](std::uint32_t other) {
            return CompareNoCase(sequences_->GetSequenceName(other), candidate) == 0;
        });
    };
    for (int suffix = 2; taken(name); ++suffix) {
        name = row.name + L" copy " + std::to_wstring(suffix);
    }
    const std::vector<CommandSet> sets = sequences_->GetCommandSets(row.number);
    bool copied = sequences_->AddSequence(number, name) == 0;
    for (std::uint32_t set = 0; copied && set < sets.size(); ++set) {
        copied = sequences_->AddCommandSet(number, set) == 0 &&
                 sequences_->ReplaceCommandSet(number, set, sets[set]) == 0;
    }
    if (!copied) {
        if (!sequences_->GetSequenceName(number).empty()) {
            sequences_->RemoveSequence(number);
        }
        prompts_.ShowMessage(L"Error", L"Unable to duplicate sequence " + row.name + L" as " +
                                           name + L".  See the message log.");
        Rebuild(row.number);
        return;
    }
    Rebuild(number);
}

void SequenceManager::SetConnected(bool connected) {
    connected_ = connected;
    if (!connected) {
        // Another device may be connected next: its copy is unknown.
        upToDate_ = false;
        executing_ = false;
    }
}

SequenceManager::View SequenceManager::ComputeView() const {
    View view;
    view.menu = sequences_ != nullptr && !busy_;
    view.upload = connected_ && !busy_ && !executing_;
    view.startStop = connected_ && (executing_ || (!busy_ && upToDate_ && selected_ >= 0));
    view.startStopText = executing_ ? L"Stop Execution" : L"Start Execution";
    return view;
}

bool SequenceManager::BeginUpload(const std::wstring& incompleteSettings) {
    if (!incompleteSettings.empty()) {
        prompts_.ShowMessage(L"Error",
                             L"The settings file did not load completely, so the protocol would "
                             L"be cut short.  Please correct it and open it again.\n" +
                                 incompleteSettings);
        return false;
    }
    upToDate_ = false;
    return true;
}

void SequenceManager::FinishUpload(const SequenceUpload::Result& result) {
    if (!result.status || result.cancelled) {
        upToDate_ = false;
        if (!result.cancelled) {
            prompts_.ShowMessage(L"",
                                 L"Error uploading sequences.  Please revise your sequences "
                                 L"and try again.\n" +
                                     result.status.Message());
        }
        return;
    }
    upToDate_ = true;
    prompts_.ShowInformation(L"Upload Complete!");
}

std::optional<SequenceManager::StartRequest> SequenceManager::BeginStart() {
    if (executing_ || !upToDate_ || sequences_ == nullptr) {
        return std::nullopt;
    }
    if (selected_ < 0) {
        prompts_.ShowMessage(L"Selection Error", kSelectionError);
        return std::nullopt;
    }
    StartRequest request;
    request.number = rows_[static_cast<std::size_t>(selected_)].number;
    double duration = 0.0;
    if (sequences_->GetSequenceDuration(request.number, duration) != 0) {
        return std::nullopt;
    }
    request.timerMs = SequenceRun::TimerLength(duration).count();
    executing_ = true;
    return request;
}

void SequenceManager::FinishRun(const SequenceRun::Result& result) {
    executing_ = false;
    if (!result.status) {
        prompts_.ShowMessage(L"Error", result.status.Message());
    }
}
