#pragma once

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "ui/SequenceManager.h"

class ApplicationCore;
class DeviceWorker;
class Prompts;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableView;
class QTimer;
class QToolButton;
class SequenceValidation;
class StopRequests;
class TimelinePreview;
class UploadState;

// The "Sequence Properties" dialog, files and message boxes; boxes go through the window's
// prompts so that the window's tests answer them.
class QtSequenceManagerPrompts final : public SequenceManagerPrompts {
  public:
    QtSequenceManagerPrompts(Prompts& prompts, QWidget* parent)
        : prompts_(prompts), parent_(parent) {}
    std::optional<Properties> AskProperties(const std::vector<std::uint32_t>& numbers,
                                            std::size_t preselect, const std::wstring& name,
                                            const PropertiesCheck& check) override;
    std::wstring AskOpenFile() override;
    std::wstring AskSaveFile(const std::wstring& proposed) override;
    void ShowMessage(const std::wstring& caption, const std::wstring& text) override;
    void ShowInformation(const std::wstring& text) override;
    bool Confirm(const std::wstring& caption, const std::wstring& text) override;

  private:
    Prompts& prompts_;
    QWidget* parent_;
};

// The rows of the manager for a QTableView: "Index" and "Name".
class SequenceListModel final : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit SequenceListModel(const SequenceManager& manager) : manager_(manager) {}
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void Refresh();
    void ShowPreview();
    void ShowRunTime();

  private:
    const SequenceManager& manager_;
};

// The sequence manager page: the list, its options menu, Upload and Start/Stop. Uploads and
// runs go through the device worker; a run keeps the worker until it ends or is stopped. The
// page tells which sequence the operator chose and when the checks changed; the window passes
// both on to the editor.
class SequenceManagerPage final : public QWidget {
    Q_OBJECT
  public:
    // Runs a device job with the window marked busy, then `done` on the window's thread.
    using DeviceJobRunner = std::function<void(std::function<void()>, std::function<void()>)>;

    explicit SequenceManagerPage(Prompts& prompts, QWidget* parent = nullptr);

    // Uploads and runs end on the window's stop requests (Stop All, a close); an upload's
    // progress is kept in `uploads`, which the page shows.
    void Initialize(ApplicationCore& core, DeviceWorker& worker, StopRequests& stops,
                    UploadState& uploads, DeviceJobRunner runJob);
    void ApplyState(bool connected, bool busy);
    void SetHistory(SequenceHistory* history) { logic_.SetHistory(history); }
    // After an undo or redo: the list from the model, the sequence the operator was at.
    void ShowRestored(std::optional<std::uint32_t> sequence);
    // After the model changed (a burst of changes once): out of date, checked again, redrawn.
    void ShowModelChange();
    bool Executing() const { return logic_.Executing(); }
    // The sequence that runs and the milliseconds it has left.
    std::optional<std::uint32_t> RunningSequence() const;
    std::int64_t RunLeftMs() const;
    const SequenceManager& Logic() const { return logic_; }
    // The picture of the selected sequence; the window places it.
    TimelinePreview* Preview() const { return preview_; }
    // What the last check of the sequences refuses; null before the first.
    const SequenceValidation* Validation() const { return validation_.get(); }
    ~SequenceManagerPage() override;

  signals:
    // The upload state has news worth showing (a few times a second).
    void UploadProgress();
    // An upload began or ended: the window keeps the pages still meanwhile.
    void uploadingChanged();
    // The sequence the operator chose to look at; none when the list is empty.
    void sequenceChosen(std::optional<std::uint32_t> number);
    // The sequences were checked again (Validation).
    void validated();

  private:
    void RunCommand(SequenceManager::Command command);
    void Upload();
    void StartStop();
    void ShowList();
    void Refresh();
    void ShowPreview();
    void ShowRunTime();
    // Checks the sequences again once the changes have settled and no device job runs.
    void ValidationStale();
    void Validate();

    QtSequenceManagerPrompts prompts_;
    SequenceManager logic_;
    SequenceListModel model_;
    ApplicationCore* core_ = nullptr;
    DeviceWorker* worker_ = nullptr;
    DeviceJobRunner runJob_;
    QTableView* list_ = nullptr;
    QToolButton* options_ = nullptr;
    QPushButton* upload_ = nullptr;
    QPushButton* startStop_ = nullptr;
    TimelinePreview* preview_ = nullptr;
    QLabel* runTime_ = nullptr;
    QProgressBar* runProgress_ = nullptr;
    QTimer* runTicker_ = nullptr;
    QElapsedTimer runClock_;
    std::int64_t runLengthMs_ = 0;
    std::uint32_t runNumber_ = 0;
    StopRequests* stops_ = nullptr;
    UploadState* uploads_ = nullptr;
    std::unique_ptr<SequenceValidation> validation_;
    QTimer* validationTimer_ = nullptr;
    bool validationStale_ = false;
    bool busy_ = false;
};
