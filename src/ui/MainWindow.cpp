#include "ui/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>
#include <QUndoStack>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

#include "device/SerialPortLister.h"
#include "foundation/TextConversion.h"
#include "ui/DeviceStatusLine.h"
#include "ui/FontUnits.h"
#include "ui/KeyboardShortcutsDialog.h"
#include "ui/ManualControlPage.h"
#include "ui/ProgramIcon.h"
#include "ui/SequenceManagerPage.h"
#include "ui/SequenceUndoCommand.h"
#include "ui/TimelinePreview.h"
#include "ui/WindowStates.h"

namespace {

const std::wstring kLogFilterOption = L"logFilter";
const std::wstring kGridColumnsOption = L"gridColumns";

class AboutDialog final : public QDialog {
  public:
    explicit AboutDialog(QWidget* parent) : QDialog(parent) {
        setObjectName(QStringLiteral("aboutDialog"));
        setWindowTitle(QStringLiteral("About %1").arg(QStringLiteral("Ostra")));
        setWindowFlag(Qt::WindowStaysOnTopHint);
        auto* icon = new QLabel;
        icon->setObjectName(QStringLiteral("icon"));
        const int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
        icon->setPixmap(windowIcon().pixmap(iconSize, iconSize));
        auto* version = new QLabel(QStringLiteral("%1 Version: %2")
                                       .arg(QStringLiteral("Ostra"), QStringLiteral("2.0.0 ")));
        version->setObjectName(QStringLiteral("version"));
        auto* build = new QLabel(QStringLiteral("20170516P0335"));
        build->setObjectName(QStringLiteral("build"));
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        auto* layout = new QGridLayout(this);
        layout->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
        layout->addWidget(version, 0, 1, 1, 2);
        layout->addWidget(new QLabel(QStringLiteral("Build:")), 1, 1);
        layout->addWidget(build, 1, 2);
        layout->addWidget(buttons, 0, 3, 2, 1);
    }
};

}  // namespace

MainWindow::MainWindow(Prompts& prompts, std::unique_ptr<SerialPortLister> lister, QWidget* parent)
    : QMainWindow(parent),
      prompts_(prompts),
      notifier_(prompts),
      logReceiver_(logModel_),
      core_(notifier_),
      lister_(lister ? std::move(lister) : CreatePlatformSerialPortLister()),
      session_(core_.GetMicroController(), *lister_, notifier_, &core_.GetLogFile()),
      manual_(core_.GetMicroController(), &core_.GetLogFile()) {
    setObjectName(QStringLiteral("mainWindow"));
    // Its dialogs (About) show it too.
    setWindowIcon(ProgramIcon());
    core_.GetMicroController().GetConnection().Port().SetAbortDescriptor(
        closeRequest_.Descriptor());
    session_.RememberOutputs(&outputs_);
    BuildMenus();
    setCentralWidget(BuildCentralWidget());
    // The classic proportions, within the screen (a large font would make them larger).
    const QSize available = screen()->availableGeometry().size() * 9 / 10;
    resize(std::min(FontUnits::Width(this, 1070), available.width()),
           std::min(FontUnits::Height(this, 760), available.height()));
    status_ = new QLabel;
    status_->setObjectName(QStringLiteral("deviceStatus"));
    // A long line is cut at the window's edge rather than widening the window.
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    statusBar()->addWidget(status_, 1);
    // The time left of a run counts down between state changes.
    connect(&statusTicker_, &QTimer::timeout, this, &MainWindow::UpdateStatusLine);
    statusTicker_.start(200);
    connect(&keeper_, &SettingsKeeper::unsavedChanged, this, &MainWindow::UpdateStates);
    connect(managerPage_, &SequenceManagerPage::UploadProgress, this,
            &MainWindow::UpdateStatusLine);
    connect(managerPage_, &SequenceManagerPage::uploadingChanged, this, &MainWindow::UpdateStates);
    UpdateStates();
}

MainWindow::~MainWindow() {
    // The stack's commands and signals reach the pages and the core: it goes first.
    undoStack_->disconnect(this);
    delete undoStack_;
    worker_.Stop();
    session_.Disconnect();
}

void MainWindow::BuildMenus() {
    const auto add = [this](QMenu* menu, const char* text, const char* name, auto slot) {
        QAction* action = menu->addAction(QString::fromLatin1(text));
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("fileMenu"));
    openSettings_ =
        add(file, "&Open Settings File", "openSettingsFile", &MainWindow::OpenSettingsFile);
    saveSettings_ =
        add(file, "&Save Settings File", "saveSettingsFile", &MainWindow::SaveSettingsFile);
    recentFiles_ = file->addMenu(QStringLiteral("Recent Settings Files"));
    recentFiles_->setObjectName(QStringLiteral("recentSettingsFiles"));
    recentFiles_->setProperty(KeyboardShortcutsDialog::kNotListed, true);
    file->addSeparator();
    clearLog_ =
        add(file, "Clear &Message Log", "clearMessageLog", [this] { logReceiver_.Clear(); });
    file->addSeparator();
    add(file, "&Exit", "exit", &QWidget::close);
    undoStack_ = new QUndoStack(this);
    editMenu_ = menuBar()->addMenu(QStringLiteral("&Edit"));
    editMenu_->setObjectName(QStringLiteral("editMenu"));
    undo_ = add(editMenu_, "&Undo", "undo", [this] { undoStack_->undo(); });
    undo_->setShortcut(QKeySequence::Undo);
    redo_ = add(editMenu_, "&Redo", "redo", [this] { undoStack_->redo(); });
    redo_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    for (const auto signal : {&QUndoStack::canUndoChanged, &QUndoStack::canRedoChanged}) {
        connect(undoStack_, signal, this, &MainWindow::UpdateUndoActions);
    }
    QMenu* connection = menuBar()->addMenu(QStringLiteral("&Connection"));
    connection->setObjectName(QStringLiteral("connectionMenu"));
    connect_ = add(connection, "&Connect To Zavik Driver", "connect", &MainWindow::ConnectDevice);
    connect_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    disconnect_ = add(connection, "&Disconnect From Zavik Driver", "disconnect",
                      &MainWindow::DisconnectDevice);
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("helpMenu"));
    add(help, "&About Ostra", "about", &MainWindow::ShowAbout);
    add(help, "&Keyboard Shortcuts", "keyboardShortcuts", [this] {
        auto* shortcuts = new KeyboardShortcutsDialog(*this);
        shortcuts->setAttribute(Qt::WA_DeleteOnClose);
        shortcuts->open();
    });
    // Ctrl+. is the desktops' "stop" key and free here; Esc stays with dialogs and cell edits.
    // It works while the upload's progress box has the focus too.
    QToolBar* tools = addToolBar(QStringLiteral("Device"));
    tools->setObjectName(QStringLiteral("deviceToolBar"));
    stopAll_ = tools->addAction(QStringLiteral("Stop All"), this, [this] { StopAll(); });
    stopAll_->setObjectName(QStringLiteral("stopAll"));
    stopAll_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Period));
    stopAll_->setShortcutContext(Qt::ApplicationShortcut);
    stopAll_->setToolTip(QStringLiteral("Stop the sequence and switch every LED off (Ctrl+.)"));
}

QWidget* MainWindow::BuildCentralWidget() {
    pages_ = new QTabWidget;
    pages_->setObjectName(QStringLiteral("pages"));
    manualPage_ = new ManualControlPage(
        manual_, prompts_, [this](std::function<void()> job, std::function<void()> done) {
            RunDeviceJob(std::move(job), std::move(done));
        });
    manualPage_->setObjectName(QStringLiteral("manualControlPage"));
    // A window smaller than the panels scrolls them rather than cutting them off or holding the
    // sequence page (and the window) taller than the screen.
    auto* manualScroll = new QScrollArea;
    manualScroll->setObjectName(QStringLiteral("manualControlScroll"));
    manualScroll->setFrameShape(QFrame::NoFrame);
    manualScroll->setWidgetResizable(true);
    manualScroll->setWidget(manualPage_);
    pages_->addTab(manualScroll, QStringLiteral("  Manual Control  "));
    pages_->addTab(BuildSequenceControlPage(), QStringLiteral("  Sequence Control  "));
    connect(pages_, &QTabWidget::currentChanged, this, &MainWindow::TabSelected);

    logView_ = new QTableView;
    logView_->setObjectName(QStringLiteral("messageLog"));
    logView_->setModel(&logModel_);
    logView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    logView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    logView_->verticalHeader()->hide();
    logView_->verticalHeader()->setDefaultSectionSize(FontUnits::Height(logView_, 17));
    logView_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft);
    logView_->horizontalHeader()->setStretchLastSection(true);
    logView_->setColumnWidth(0, FontUnits::Width(logView_, 100));
    logView_->setColumnWidth(1, FontUnits::Width(logView_, 60));
    logView_->setColumnWidth(2, FontUnits::Width(logView_, 800));
    connect(&logModel_, &QAbstractItemModel::rowsInserted, logView_,
            [this] { logView_->scrollToBottom(); });
    // A small window shrinks the log before the pages: two rows are enough to see it.
    logView_->setMinimumHeight(FontUnits::TableHeight(logView_, 2));
    auto* logBox = new QGroupBox(QStringLiteral("Message Log"));
    auto* logLayout = new QHBoxLayout(logBox);
    logLayout->addWidget(logView_, 1);
    logLayout->addLayout(BuildLogFilter());

    // The pages take about three quarters of the height, the message log the rest.
    auto* splitter = new QSplitter(Qt::Vertical);
    splitter->setObjectName(QStringLiteral("pageAndLog"));
    splitter->addWidget(pages_);
    splitter->addWidget(logBox);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({FontUnits::Height(this, 570), FontUnits::Height(this, 190)});
    splitter->setChildrenCollapsible(false);
    return splitter;
}

// The log file keeps every message; the operator chooses how much of it the window shows.
QLayout* MainWindow::BuildLogFilter() {
    logFilter_ = new QComboBox;
    logFilter_->setObjectName(QStringLiteral("logFilter"));
    logFilter_->addItem(QStringLiteral("Errors and Warnings"),
                        static_cast<int>(LogFilter::ErrorsAndWarnings));
    logFilter_->addItem(QStringLiteral("+ Notices"), static_cast<int>(LogFilter::Notices));
    logFilter_->addItem(QStringLiteral("+ Data"), static_cast<int>(LogFilter::Data));
    logFilter_->setCurrentIndex(logFilter_->findData(static_cast<int>(logModel_.Filter())));
    connect(logFilter_, &QComboBox::currentIndexChanged, this, [this] {
        logModel_.SetFilter(static_cast<LogFilter>(logFilter_->currentData().toInt()));
        logView_->scrollToBottom();
        keeper_.Memory().SetOption(kLogFilterOption, std::to_wstring(logFilter_->currentIndex()));
        keeper_.SaveMemory();
    });
    auto* label = new QLabel(QStringLiteral("&Show:"));
    label->setBuddy(logFilter_);
    // Beside the log, where it costs no row of it.
    auto* column = new QVBoxLayout;
    column->addWidget(label);
    column->addWidget(logFilter_);
    column->addStretch(1);
    return column;
}

// The sequence control page: the sequence manager on the left, the editor on the right, in the
// proportions of their pages (175 to 523).
QWidget* MainWindow::BuildSequenceControlPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("sequenceControlPage"));
    editorPage_ = new SequenceEditorPage(editorPrompts_);
    managerPage_ = new SequenceManagerPage(prompts_);
    // The editor shows what the operator chose in the manager, with the manager's checks.
    connect(managerPage_, &SequenceManagerPage::sequenceChosen, editorPage_,
            [this](std::optional<std::uint32_t> number) {
                if (number) {
                    editorPage_->ShowSequence(*number);
                } else {
                    editorPage_->Clear();
                }
            });
    connect(managerPage_, &SequenceManagerPage::validated, editorPage_,
            [this] { editorPage_->SetValidation(managerPage_->Validation()); });
    history_ = std::make_unique<UndoStackHistory>(*undoStack_, core_.GetSequenceContainer(),
                                                  [this](const SequenceFocus& focus) {
                                                      managerPage_->ShowRestored(focus.sequence);
                                                      editorPage_->SelectRow(focus.row);
                                                  });
    editorPage_->SetHistory(history_.get());
    connect(editorPage_, &SequenceEditorPage::operatorColumnWidthsChanged, this,
            [this](const std::wstring& widths) {
                // Saved with the close: a drag changes them many times.
                keeper_.Memory().SetOption(kGridColumnsOption, widths);
            });
    managerPage_->SetHistory(history_.get());
    const QList<QAction*> steps = editorPage_->StepActions();
    editMenu_->addSeparator();
    editMenu_->addActions(steps.mid(0, 4));
    editMenu_->addSeparator();
    editMenu_->addActions(steps.mid(4));
    // The timeline preview runs under the editor, where it has the width a timeline needs.
    auto* right = new QVBoxLayout;
    right->addWidget(editorPage_, 1);
    right->addWidget(managerPage_->Preview());
    auto* layout = new QHBoxLayout(page);
    layout->addWidget(managerPage_, 175);
    layout->addLayout(right, 523);
    return page;
}

void MainWindow::ShowSequenceModel() {
    // Steps of the sequences a settings file replaced cannot be taken back.
    undoStack_->clear();
    editorPage_->Initialize(&core_.GetLogFile(), core_.GetSequenceContainer());
    managerPage_->Initialize(core_, worker_, stops_, uploads_, [this](auto job, auto done) {
        RunDeviceJob(std::move(job), std::move(done));
    });
}

// The model changes on the worker too (a settings file): the handler only queues the redraw. A
// burst of changes (a file read, a pasted block: one per command) redraws once, not once each.
void MainWindow::FollowSequenceChanges() {
    core_.GetSequenceContainer().SubscribeToChanges([this](const SequenceContainer::Change&) {
        if (!sequencesRedrawQueued_.exchange(true)) {
            QMetaObject::invokeMethod(this, &MainWindow::ShowSequenceChanges, Qt::QueuedConnection);
        }
        return 0;
    });
}

void MainWindow::ShowSequenceChanges() {
    sequencesRedrawQueued_ = false;
    managerPage_->ShowModelChange();
    editorPage_->ShowModelChange();
}

ApplicationCore::StartupResult MainWindow::Start() {
    core_.SetMessageReceiver(&logReceiver_);
    const ApplicationCore::StartupResult result = core_.RunStartupSequence();
    if (result == ApplicationCore::StartupResult::Started) {
        wired_ = true;
        keeper_.Start();
        prompts_.RememberFolders(&keeper_.Memory());
        ShowRecentFiles();
        editorPage_->SetOperatorColumnWidths(keeper_.Memory().Option(kGridColumnsOption));
        const std::wstring filter = keeper_.Memory().Option(kLogFilterOption);
        if (filter.size() == 1 && filter[0] >= L'0' && filter[0] < L'0' + logFilter_->count()) {
            logFilter_->setCurrentIndex(filter[0] - L'0');
        }
        // Offered, never applied on its own: the operator may prefer the saved settings.
        keeper_.OfferRecoveryCopy(
            [this](const QString& path) { return prompts_.AskRecovery(this, path); });
        snapshot_ = TakeSnapshot();
        manualPage_->ShowSnapshot(snapshot_);
        FollowSequenceChanges();
        ShowSequenceModel();
        ServeScripts();
    } else if (result != ApplicationCore::StartupResult::DataDirectoryFailed) {
        // The program ends without showing the window.
        core_.ShutDown(ApplicationCore::SettingsOnShutDown::Keep);
        worker_.Stop();
        closed_ = true;
        exitCode_ = core_.GetExitCode();
    }
    UpdateStates();
    return result;
}

DeviceSnapshot MainWindow::TakeSnapshot() {
    MicroController& device = core_.GetMicroController();
    DeviceSnapshot snapshot;
    snapshot.connected = session_.IsConnected();
    snapshot.outputMask = device.GetOutputMask();
    snapshot.port = session_.PortName();
    snapshot.firmware = session_.FirmwareVersion();
    snapshot.simulated = session_.IsSimulated();
    for (int index = 0; index < device.GetLEDCount(); ++index) {
        LEDRecord led;
        device.GetLEDInfo(index, led);
        snapshot.leds.push_back(led);
    }
    return snapshot;
}

void MainWindow::RunDeviceJob(std::function<void()> job, std::function<void()> done) {
    ++busy_;
    UpdateStates();
    auto snapshot = std::make_shared<DeviceSnapshot>();
    auto lost = std::make_shared<std::wstring>();
    worker_.Run(
        this,
        [this, job = std::move(job), snapshot, lost] {
            job();
            // An unplugged device shows at its next transaction: the window then disconnects.
            if (session_.CloseIfHungUp()) {
                *lost = core_.GetLogFile().GetLastError();
            }
            if (control_) {
                control_->SettleWindowJob();
            }
            *snapshot = TakeSnapshot();
        },
        [this, done = std::move(done), snapshot, lost] {
            --busy_;
            if (!lost->empty()) {
                deviceError_ = *lost;
                manualPage_->PulseStopped();
            }
            keeper_.Changed();
            snapshot_ = *snapshot;
            manualPage_->ShowSnapshot(snapshot_);
            done();
            UpdateStates();
            if (closePending_ && busy_ == 0) {
                close();
            }
        });
}

// Scripts' requests run as the window's own device jobs, so every change they make shows here as
// a click's does.
void MainWindow::ServeScripts() {
    control_ = std::make_unique<WindowControl>(
        core_, session_, manual_, [this](std::function<void()> job, std::function<void()> done) {
            RunDeviceJob(std::move(job), std::move(done));
        });
    connect(control_.get(), &WindowControl::RunChanged, this, &MainWindow::UpdateStatusLine);
    control_->Start(&logReceiver_);
}

void MainWindow::UpdateStates() {
    WindowState state;
    state.wired = wired_;
    state.connected = snapshot_.connected;
    state.busy = busy_ > 0;
    state.uploading = uploads_.Current().running;
    state.pulsingPanel = manualPage_->PulsingPanel();
    for (std::size_t index = 0; index < snapshot_.leds.size(); ++index) {
        state.ledOn.push_back(snapshot_.IsOn(index));
    }
    const WindowView view = ComputeWindowView(state);
    // A leading "*" while a crash would lose settings the per-user file does not hold.
    setWindowTitle((keeper_.Unsaved() ? QStringLiteral("*") : QString()) +
                   QString::fromStdWString(view.title));
    stopAll_->setEnabled(view.stopAll);
    recentFiles_->setEnabled(view.fileCommands && !recentFiles_->isEmpty());
    connect_->setEnabled(view.connect);
    disconnect_->setEnabled(view.disconnect);
    for (QAction* action : {openSettings_, saveSettings_, clearLog_}) {
        action->setEnabled(view.fileCommands);
    }
    clearLog_->setEnabled(wired_);
    pages_->setEnabled(view.pages);
    UpdateStatusLine();
    UpdateUndoActions();
    manualPage_->ApplyView(view);
    managerPage_->ApplyState(state.connected, state.busy);
    if (state.busy) {
        if (QApplication::overrideCursor() == nullptr) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
        }
    } else {
        while (QApplication::overrideCursor() != nullptr) {
            QApplication::restoreOverrideCursor();
        }
    }
}

// Undo and Redo change the sequences, so they wait as the pages do while the device works.
void MainWindow::UpdateUndoActions() {
    undo_->setEnabled(pages_->isEnabled() && undoStack_->canUndo());
    redo_->setEnabled(pages_->isEnabled() && undoStack_->canRedo());
}

void MainWindow::ConnectDevice() {
    connecting_ = true;
    RunDeviceJob([this] { session_.Connect(); },
                 [this] {
                     connecting_ = false;
                     deviceError_ = snapshot_.connected            ? std::wstring()
                                    : session_.LastError().empty() ? L"Unable to connect."
                                                                   : session_.LastError();
                     // A port held by another program is not what the connection box suggests.
                     if (!session_.LastError().empty()) {
                         core_.GetLogFile().WriteMessage(LogLevel::Error, session_.LastError());
                     }
                 });
}

void MainWindow::DisconnectDevice() {
    deviceError_.clear();
    RunDeviceJob([this] { session_.Disconnect(); }, [] {});
}

void MainWindow::OpenSettingsFile() {
    if (!prompts_.Confirm(this, QStringLiteral("Open Settings File"),
                          QStringLiteral("Are you sure you want to open a settings file?  Any "
                                         "unsaved data will be lost."))) {
        return;
    }
    const QString path = prompts_.OpenSettingsFile(this);
    if (!path.isEmpty()) {
        ReadSettings(path);
    }
}

void MainWindow::OpenRecentFile(const QString& path) {
    if (prompts_.Confirm(this, QStringLiteral("Open Settings File"),
                         QStringLiteral("Are you sure you want to open a settings file?  Any "
                                        "unsaved data will be lost."))) {
        ReadSettings(path);
    }
}

void MainWindow::ReadSettings(const QString& path) {
    NoteRecentFile(path);
    // A running train is stopped first: the refreshed panels would otherwise forget it.
    manualPage_->StopPulse([this, file = CorePath(path)](bool) {
        RunDeviceJob([this, file] { core_.ReadSettingsFile(file); },
                     [this] { ShowSequenceModel(); });
    });
}

void MainWindow::SaveSettingsFile() {
    const QString path = prompts_.SaveSettingsFile(this);
    if (path.isEmpty()) {
        return;
    }
    // Noted once written: a new file does not exist before, and would leave the list.
    auto written = std::make_shared<bool>(false);
    RunDeviceJob(
        [this, written, file = CorePath(path)] {
            *written = core_.WriteSettingsFile(file) == VlrDataTypes::VLR_SUCCESS;
        },
        [this, written, path] {
            if (*written) {
                NoteRecentFile(path);
            }
        });
}

// A file that is gone leaves the list when it is chosen.
void MainWindow::NoteRecentFile(const QString& path) {
    RecentFiles& memory = keeper_.Memory();
    if (QFile::exists(path)) {
        memory.Add(CorePath(path));
    } else {
        memory.Remove(CorePath(path));
    }
    keeper_.SaveMemory();
    ShowRecentFiles();
}

void MainWindow::ShowRecentFiles() {
    recentFiles_->clear();
    for (const std::wstring& file : keeper_.Memory().Files()) {
        const QString path = QFile::decodeName(WideToNarrow(file).c_str());
        recentFiles_->addAction(path, this, [this, path] { OpenRecentFile(path); });
    }
    recentFiles_->setEnabled(!recentFiles_->isEmpty() && wired_ && busy_ == 0);
}

void MainWindow::StopAll(std::function<void()> then) {
    if (control_) {
        control_->Interrupt();
    }
    stops_.StopAll();
    RunDeviceJob([this] { session_.StopAll(); },
                 [this, then = std::move(then)] {
                     manualPage_->PulseStopped();
                     if (then) {
                         then();
                     }
                 });
}

void MainWindow::UpdateStatusLine() {
    StatusLineState status;
    status.connecting = connecting_;
    status.connected = snapshot_.connected;
    const UploadState::Shown upload = uploads_.Current();
    status.uploadSequence = upload.running ? static_cast<int>(upload.progress.sequenceIndex) : 0;
    status.uploadCount = upload.running ? static_cast<int>(upload.progress.sequenceCount) : 0;
    status.runningSequence = managerPage_->RunningSequence();
    status.runLeftMs = managerPage_->RunLeftMs();
    if (!status.runningSequence && control_) {
        status.runningSequence = control_->RunningSequence();
        status.runLeftMs = control_->RunLeftMs();
    }
    status.error = deviceError_;
    status.port = snapshot_.port;
    status.firmware = snapshot_.firmware;
    status.simulated = snapshot_.simulated;
    if (wired_) {
        status.connectKeys = connect_->shortcut().toString(QKeySequence::NativeText).toStdWString();
    }
    status_->setText(QString::fromStdWString(DeviceStatusLine(status)));
}

void MainWindow::ShowAbout() {
    auto* about = new AboutDialog(this);
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->open();
}

void MainWindow::TabSelected(int index) {
    if (index == 0 && wired_) {
        // The manual page switches every LED off: a running sequence is stopped first, through
        // the manager's own stop, so that page never shows a run that is not happening. The
        // switch-off follows on the worker once the run has ended.
        if (managerPage_->Executing()) {
            stops_.RequestStop();
        }
        RunDeviceJob([this] { manual_.SendIntensitiesAndSwitchAllOff(); }, [] {});
    }
}

void MainWindow::CloseOnExitSignal() {
    closeWithoutAsking_ = true;
    close();
}

bool MainWindow::DeviceActive() const {
    bool lit = false;
    for (std::size_t index = 0; index < snapshot_.leds.size(); ++index) {
        lit = lit || snapshot_.IsOn(index);
    }
    return managerPage_->Executing() || manualPage_->PulsingPanel() >= 0 || lit;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (closed_) {
        event->accept();
        return;
    }
    if (busy_ > 0) {
        // The device operation ends first: a device that answers finishes its transaction, a
        // silent one is given up within half a second instead of its read time-out.
        closeRequest_.Raise();
        if (control_) {
            control_->Interrupt();
        }
        closePending_ = true;
        event->ignore();
        return;
    }
    // A close that waited for a device command: a device that answered takes the close's stop
    // (the command may have lit an LED); a silent one was given up and is sent nothing more.
    if (!core_.GetMicroController().GetConnection().Port().GaveUpOnExit()) {
        closeRequest_.Lower();
    }
    // Nothing is sent without asking: stop first (the close follows the stop), or leave the
    // device running. An exit signal stops without asking.
    if (snapshot_.connected && !closeStopSent_ && DeviceActive()) {
        const Prompts::CloseChoice choice =
            closeWithoutAsking_ ? Prompts::CloseChoice::Stop : prompts_.AskStopBeforeClose(this);
        switch (choice) {
            case Prompts::CloseChoice::Cancel:
                // The window works on: a close that waited for a command no longer follows the
                // next one, and the device takes commands again.
                closePending_ = false;
                closeRequest_.Lower();
                event->ignore();
                return;
            case Prompts::CloseChoice::Stop:
                core_.GetLogFile().WriteMessage(
                    LogLevel::Notice,
                    L"Closing: the sequence, the pulse trains and every LED "
                    L"are stopped first.");
                closePending_ = true;
                closeStopSent_ = true;
                StopAll();
                event->ignore();
                return;
            case Prompts::CloseChoice::LeaveRunning:
                core_.GetLogFile().WriteMessage(
                    LogLevel::Notice, L"Closing: the Zavik Driver is left running as it is.");
                stops_.RequestLeaveRunning();
                break;
        }
    }
    if (managerPage_->Executing()) {
        stops_.RequestStop();
    }
    if (control_) {
        control_->StopServing();
    }
    worker_.Stop();
    manualPage_->PulseStopped();
    session_.Disconnect();
    keeper_.SaveMemory();
    const bool saved = core_.ShutDown(wired_ ? ApplicationCore::SettingsOnShutDown::Save
                                             : ApplicationCore::SettingsOnShutDown::Keep) ==
                       VlrDataTypes::VLR_SUCCESS;
    keeper_.Closed(wired_ && saved);
    closed_ = true;
    exitCode_ = 0;
    event->accept();
}
