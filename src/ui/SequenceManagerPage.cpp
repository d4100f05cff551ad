#include "ui/SequenceManagerPage.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/ApplicationCore.h"
#include "app/StopRequests.h"
#include "app/UploadState.h"
#include "ui/DeviceWorker.h"
#include "ui/FontUnits.h"
#include "ui/Prompts.h"
#include "ui/SequenceValidation.h"
#include "ui/TimelinePreview.h"

namespace {

QString Text(const std::wstring& text) {
    return QString::fromStdWString(text);
}

// The sequence file dialogs remember their folder apart from the settings dialogs'.
const std::wstring kSequencesKind = L"sequences";

// "1.9 s": seconds with one decimal, from 64-bit milliseconds.
QString Seconds(std::int64_t milliseconds) {
    return QString::number(static_cast<double>(milliseconds) / 1000.0, 'f', 1) +
           QStringLiteral(" s");
}

}  // namespace

std::optional<SequenceManagerPrompts::Properties> QtSequenceManagerPrompts::AskProperties(
    const std::vector<std::uint32_t>& numbers, std::size_t preselect, const std::wstring& name,
    const PropertiesCheck& check) {
    QDialog dialog(parent_);
    dialog.setObjectName(QStringLiteral("sequencePropertiesDialog"));
    dialog.setWindowTitle(QStringLiteral("Sequence Properties"));
    auto* index = new QComboBox;
    for (const std::uint32_t number : numbers) {
        index->addItem(QString::number(number), number);
    }
    index->setCurrentIndex(numbers.empty() ? -1 : static_cast<int>(preselect));
    auto* nameEdit = new QLineEdit(Text(name));
    nameEdit->setObjectName(QStringLiteral("sequenceName"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    const auto chosen = [index, nameEdit] {
        return Properties{index->currentData().toUInt(), nameEdit->text().toStdWString()};
    };
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
        if (index->currentIndex() < 0) {
            return;
        }
        if (const std::optional<std::wstring> refusal = check ? check(chosen()) : std::nullopt) {
            prompts_.ShowError(&dialog, QStringLiteral("Sequence Properties"), Text(*refusal));
            nameEdit->setFocus();
            return;
        }
        dialog.accept();
    });
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QFormLayout(&dialog);
    layout->addRow(QStringLiteral("Sequence Index:"), index);
    layout->addRow(QStringLiteral("Sequence Name:"), nameEdit);
    layout->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return chosen();
}

std::wstring QtSequenceManagerPrompts::AskOpenFile() {
    QFileDialog dialog(parent_, QStringLiteral("Open Stimulus Sequence File"), QString(),
                       QStringLiteral("Stimulus Sequence Files (*.cfg)"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    const QString path = prompts_.ChooseFile(dialog, kSequencesKind);
    return path.isEmpty() ? std::wstring() : CorePath(path);
}

std::wstring QtSequenceManagerPrompts::AskSaveFile(const std::wstring& proposed) {
    QFileDialog dialog(parent_, QStringLiteral("Save Stimulus Sequence Command File"),
                       Text(proposed), QStringLiteral("Text Files (*.cfg)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    const QString path = prompts_.ChooseFile(dialog, kSequencesKind);
    return path.isEmpty() ? std::wstring() : CorePath(path);
}

void QtSequenceManagerPrompts::ShowMessage(const std::wstring& caption, const std::wstring& text) {
    prompts_.ShowError(parent_, Text(caption), Text(text));
}

void QtSequenceManagerPrompts::ShowInformation(const std::wstring& text) {
    prompts_.ShowInformation(parent_, QString(), Text(text));
}

bool QtSequenceManagerPrompts::Confirm(const std::wstring& caption, const std::wstring& text) {
    return prompts_.Confirm(parent_, Text(caption), Text(text));
}

int SequenceListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(manager_.Rows().size());
}

int SequenceListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant SequenceListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) {
        return {};
    }
    const SequenceManager::Row& row = manager_.Rows()[static_cast<std::size_t>(index.row())];
    return index.column() == 0 ? QVariant(QString::number(row.number)) : QVariant(Text(row.name));
}

QVariant SequenceListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) {
        return {};
    }
    return section == 0 ? QStringLiteral("Index") : QStringLiteral("Name");
}

void SequenceListModel::Refresh() {
    beginResetModel();
    endResetModel();
}

SequenceManagerPage::SequenceManagerPage(Prompts& prompts, QWidget* parent)
    : QWidget(parent), prompts_(prompts, this), logic_(prompts_), model_(logic_) {
    setObjectName(QStringLiteral("sequenceManagerPage"));
    list_ = new QTableView;
    list_->setObjectName(QStringLiteral("sequenceList"));
    list_->setModel(&model_);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->verticalHeader()->hide();
    // A small window takes its height from the timeline and the log before the list.
    list_->setMinimumHeight(FontUnits::TableHeight(list_, 3));
    list_->setColumnWidth(0, FontUnits::Width(list_, 50));
    list_->horizontalHeader()->setStretchLastSection(true);
    connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                logic_.Select(current.isValid() ? current.row() : -1);
                if (const auto shown = logic_.Shown()) {
                    emit sequenceChosen(shown);
                }
                ShowPreview();
                Refresh();
            });

    options_ = new QToolButton;
    options_->setObjectName(QStringLiteral("sequenceListOptions"));
    options_->setText(QStringLiteral("Sequence List Options"));
    options_->setPopupMode(QToolButton::InstantPopup);
    auto* menu = new QMenu(QStringLiteral("Sequence Options"), options_);
    using Command = SequenceManager::Command;
    const auto addCommand = [&](const char* text, Command command) {
        menu->addAction(QString::fromLatin1(text), this, [this, command] { RunCommand(command); });
    };
    addCommand("Add New Sequence", Command::Add);
    addCommand("Modify Sequence", Command::Modify);
    addCommand("Remove Sequence", Command::Remove);
    menu->addSeparator();
    addCommand("Load Sequence File", Command::Load);
    addCommand("Save Sequence File", Command::Save);
    addCommand("Duplicate Sequence", Command::Duplicate);
    options_->setMenu(menu);

    upload_ = new QPushButton(QStringLiteral("Upload"));
    upload_->setObjectName(QStringLiteral("uploadButton"));
    connect(upload_, &QPushButton::clicked, this, &SequenceManagerPage::Upload);
    startStop_ = new QPushButton(QStringLiteral("Start Execution"));
    startStop_->setObjectName(QStringLiteral("startStopButton"));
    connect(startStop_, &QPushButton::clicked, this, &SequenceManagerPage::StartStop);

    preview_ = new TimelinePreview(this);
    runTime_ = new QLabel;
    runTime_->setObjectName(QStringLiteral("runTime"));
    runTime_->setMinimumHeight(runTime_->fontMetrics().height());
    runProgress_ = new QProgressBar;
    runProgress_->setObjectName(QStringLiteral("runProgress"));
    runProgress_->setRange(0, 1000);
    runProgress_->setTextVisible(false);
    // Its place is kept while hidden: the box does not jump when a run starts.
    QSizePolicy keepPlace = runProgress_->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    runProgress_->setSizePolicy(keepPlace);
    runProgress_->hide();
    runTicker_ = new QTimer(this);
    runTicker_->setInterval(50);
    connect(runTicker_, &QTimer::timeout, this, &SequenceManagerPage::ShowRunTime);
    // A settings file changes the model line by line: one check after the last change.
    validationTimer_ = new QTimer(this);
    validationTimer_->setSingleShot(true);
    validationTimer_->setInterval(50);
    connect(validationTimer_, &QTimer::timeout, this, &SequenceManagerPage::Validate);

    auto* listBox = new QGroupBox(QStringLiteral("Sequence List"));
    auto* listLayout = new QVBoxLayout(listBox);
    listLayout->addWidget(list_);
    listLayout->addWidget(options_);
    auto* execution = new QGroupBox(QStringLiteral("Sequence Execution"));
    auto* executionLayout = new QVBoxLayout(execution);
    executionLayout->addWidget(upload_);
    executionLayout->addWidget(startStop_);
    executionLayout->addWidget(runTime_);
    executionLayout->addWidget(runProgress_);
    auto* management = new QGroupBox(QStringLiteral("Sequence Management"));
    auto* managementLayout = new QVBoxLayout(management);
    managementLayout->addWidget(listBox, 1);
    managementLayout->addWidget(execution);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(management);
    Refresh();
}

SequenceManagerPage::~SequenceManagerPage() = default;

// An edit in the editor makes the device's copy out of date: Start follows at once.
void SequenceManagerPage::ShowModelChange() {
    logic_.SequencesChanged();
    ShowPreview();
    ValidationStale();
    Refresh();
}

void SequenceManagerPage::ValidationStale() {
    validationStale_ = true;
    if (!busy_) {
        validationTimer_->start();
    }
}

// The worker may be changing the model (a settings file) while a device job runs.
void SequenceManagerPage::Validate() {
    if (core_ == nullptr || busy_ || !validationStale_) {
        return;
    }
    if (!validation_) {
        validation_ = std::make_unique<SequenceValidation>(core_->GetSequenceContainer());
    }
    validation_->Recompute();
    validationStale_ = false;
    emit validated();
    Refresh();
}

void SequenceManagerPage::Initialize(ApplicationCore& core, DeviceWorker& worker,
                                     StopRequests& stops, UploadState& uploads,
                                     DeviceJobRunner runJob) {
    core_ = &core;
    worker_ = &worker;
    stops_ = &stops;
    uploads_ = &uploads;
    runJob_ = std::move(runJob);
    logic_.Initialize(&core.GetLogFile(), core.GetSequenceContainer());
    ShowList();
    ValidationStale();
}

void SequenceManagerPage::ApplyState(bool connected, bool busy) {
    logic_.SetConnected(connected);
    logic_.SetBusy(busy);
    busy_ = busy;
    if (validationStale_) {
        ValidationStale();
    }
    Refresh();
}

// The list and the editor always show what the model holds after a flow.
void SequenceManagerPage::ShowList() {
    const QSignalBlocker blocker(list_->selectionModel());
    model_.Refresh();
    const std::optional<std::uint32_t> shown = logic_.Shown();
    if (shown) {
        list_->selectRow(logic_.SelectedRow());
    }
    emit sequenceChosen(shown);
    ShowPreview();
    Refresh();
}

// The preview follows the selection and every change of the model.
void SequenceManagerPage::ShowPreview() {
    const auto shown = logic_.Shown();
    if (core_ == nullptr || !shown) {
        preview_->Clear(L"");
        return;
    }
    preview_->ShowListing(core_->PreviewSequenceTimeline(*shown, TimelinePlot::kMaxEvents),
                          core_->PreviewDeviceNote(*shown));
}

// "Running: 0.8 s of 1.9 s", with the cursor at the same time; 64-bit throughout, as a run can
// outlast an int of milliseconds.
void SequenceManagerPage::ShowRunTime() {
    if (!logic_.Executing()) {
        runTicker_->stop();
        runTime_->clear();
        runProgress_->hide();
        preview_->SetCursorTime(std::nullopt);
        return;
    }
    runProgress_->show();
    const std::int64_t elapsed = std::min<std::int64_t>(runClock_.elapsed(), runLengthMs_);
    runTime_->setText(
        QStringLiteral("Running: %1 of %2").arg(Seconds(elapsed), Seconds(runLengthMs_)));
    runProgress_->setValue(runLengthMs_ > 0 ? static_cast<int>(elapsed * 1000 / runLengthMs_)
                                            : 1000);
    preview_->SetCursorTime(static_cast<double>(elapsed));
}

void SequenceManagerPage::Refresh() {
    const SequenceManager::View view = logic_.ComputeView();
    options_->setEnabled(view.menu);
    list_->setEnabled(view.menu);
    // Disabled with the reason while a sequence would not convert, instead of failing halfway.
    const std::optional<std::wstring> refusal =
        validation_ ? validation_->UploadRefusal() : std::nullopt;
    upload_->setEnabled(view.upload && !refusal);
    upload_->setToolTip(refusal ? Text(*refusal) : QString());
    startStop_->setEnabled(view.startStop);
    startStop_->setText(Text(view.startStopText));
}

void SequenceManagerPage::ShowRestored(std::optional<std::uint32_t> sequence) {
    logic_.Reload(sequence);
    ShowList();
}

void SequenceManagerPage::RunCommand(SequenceManager::Command command) {
    logic_.Run(command);
    ShowList();
}

void SequenceManagerPage::Upload() {
    if (core_ == nullptr || !logic_.BeginUpload(core_->DescribeIncompleteSettings())) {
        Refresh();
        return;
    }
    stops_->BeginUpload();
    uploads_->Begin();
    // Not modal: Stop All (its toolbar button and Ctrl+.) stays within reach while it shows; the
    // window keeps the pages still instead. A child of the window, not of the page it stills.
    auto* progress = new QProgressDialog(QStringLiteral("Uploading sequences..."),
                                         QStringLiteral("Cancel"), 0, 0, window());
    progress->setObjectName(QStringLiteral("uploadProgress"));
    progress->setWindowTitle(QStringLiteral("Upload"));
    progress->setWindowModality(Qt::NonModal);
    progress->setMinimumDuration(0);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    connect(progress, &QProgressDialog::canceled, this, [this] { stops_->CancelUpload(); });
    connect(this, &SequenceManagerPage::UploadProgress, progress, [this, progress] {
        const SequenceUpload::Progress shown = uploads_->Current().progress;
        progress->setLabelText(QStringLiteral("Sequence %1 of %2: %3 of %4 script commands sent")
                                   .arg(shown.sequenceIndex)
                                   .arg(shown.sequenceCount)
                                   .arg(shown.commandsSent)
                                   .arg(shown.commandCount));
        progress->setMaximum(static_cast<int>(shown.commandCount));
        progress->setValue(static_cast<int>(shown.commandsSent));
    });
    emit uploadingChanged();
    progress->show();
    auto result = std::make_shared<SequenceUpload::Result>();
    runJob_(
        [this, result] {
            // Queued to the window's thread: a signal from the worker thread.
            *result =
                core_->UploadSequences(uploads_->Recorder([this](const SequenceUpload::Progress&) {
                    emit UploadProgress();
                }),
                                       stops_->UploadCancel());
        },
        [this, result, progress] {
            progress->deleteLater();
            progress->hide();
            uploads_->Finish();
            // The pages come back before the result's box, which may wait for the operator.
            emit uploadingChanged();
            logic_.FinishUpload(*result);
            Refresh();
        });
}

std::optional<std::uint32_t> SequenceManagerPage::RunningSequence() const {
    return logic_.Executing() ? std::optional(runNumber_) : std::nullopt;
}

std::int64_t SequenceManagerPage::RunLeftMs() const {
    return std::max<std::int64_t>(runLengthMs_ - runClock_.elapsed(), 0);
}

void SequenceManagerPage::StartStop() {
    if (logic_.Executing()) {
        stops_->RequestStop();
        startStop_->setEnabled(false);
        return;
    }
    const std::optional<SequenceManager::StartRequest> start = logic_.BeginStart();
    if (!start || core_ == nullptr) {
        Refresh();
        return;
    }
    stops_->BeginRun();
    runLengthMs_ = start->timerMs;
    runNumber_ = start->number;
    runClock_.start();
    runTicker_->start();
    ShowRunTime();
    Refresh();
    auto result = std::make_shared<SequenceRun::Result>();
    // The run holds the worker until its end timer runs out or a stop is asked for; the page
    // stays usable meanwhile, so Stop is not behind a busy window.
    worker_->Run(
        this,
        [this, result, number = start->number] {
            *result = core_->RunSequence(
                number,
                [this](SequenceRun::Milliseconds wait) { return stops_->WaitForStop(wait); },
                nullptr, stops_->LeaveRunning(), L"window");
        },
        [this, result] {
            logic_.FinishRun(*result);
            ShowRunTime();
            Refresh();
        });
}
