#pragma once

#include <QMainWindow>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>

#include "app/ApplicationCore.h"
#include "app/DeviceSession.h"
#include "app/ManualControl.h"
#include "app/RememberedOutputs.h"
#include "app/StopRequests.h"
#include "app/UploadState.h"
#include "device/SerialPortLister.h"
#include "foundation/platform/AbortRequest.h"
#include "ui/DeviceSnapshot.h"
#include "ui/DeviceWorker.h"
#include "ui/MessageLogModel.h"
#include "ui/Prompts.h"
#include "ui/SequenceEditorPage.h"
#include "ui/SettingsKeeper.h"
#include "ui/WindowControl.h"

class ManualControlPage;
class QAction;
class QComboBox;
class QLayout;
class QLabel;
class QMenu;
class SequenceManagerPage;
class QTabWidget;
class QTableView;
class QUndoStack;
class UndoStackHistory;

// The Ostra window: the two pages in tabs above the message log, the File, Connection and
// Help menus, connect and disconnect, and the application core from start-up to shut-down.
// Device operations run on the worker thread; while one runs the window shows the wait cursor
// and every control that would start another is disabled.
class MainWindow final : public QMainWindow {
    Q_OBJECT
  public:
    // The prompts must outlive the window. Without a lister the platform's is used.
    explicit MainWindow(Prompts& prompts, std::unique_ptr<SerialPortLister> lister = nullptr,
                        QWidget* parent = nullptr);
    ~MainWindow() override;

    // The start-up sequence. After a setup-file failure or a refused settings lock the program
    // must end with ExitCode(); after a data-directory failure the window stays, unwired, with
    // only Exit and About.
    ApplicationCore::StartupResult Start();
    // 0 after a normal close; 1 after a setup-file failure or a refused settings lock.
    int ExitCode() const { return exitCode_; }
    bool IsBusy() const { return busy_ > 0; }
    bool IsClosed() const { return closed_; }
    ApplicationCore& Core() { return core_; }
    ManualControlPage* ManualPage() const { return manualPage_; }
    SequenceEditorPage* EditorPage() const { return editorPage_; }
    SequenceManagerPage* ManagerPage() const { return managerPage_; }
    SettingsKeeper& Keeper() { return keeper_; }
    // SIGTERM and SIGINT: the close path without a question; whatever the window started on the
    // device is stopped first.
    void CloseOnExitSignal();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void BuildMenus();
    QWidget* BuildCentralWidget();
    QLayout* BuildLogFilter();
    QWidget* BuildSequenceControlPage();
    // Shows the current models' sequences (at start-up and after a settings file was read).
    void ShowSequenceModel();
    // Both sequence pages follow every change of the model, from any thread, once per burst.
    void FollowSequenceChanges();
    void ShowSequenceChanges();
    void RunDeviceJob(std::function<void()> job, std::function<void()> done);
    void ServeScripts();
    DeviceSnapshot TakeSnapshot();
    void UpdateStates();
    void UpdateUndoActions();

    void ConnectDevice();
    void DisconnectDevice();
    void OpenSettingsFile();
    void SaveSettingsFile();
    void ShowAbout();
    void TabSelected(int index);
    // The sequence stop and every LED off, queued at once: an upload is cancelled at its next
    // transaction and a run is asked to stop, so the stop waits behind neither.
    void StopAll(std::function<void()> then = nullptr);
    void UpdateStatusLine();
    // A sequence runs, a pulse train runs or an LED is on: a close asks first.
    bool DeviceActive() const;
    void ShowRecentFiles();
    void NoteRecentFile(const QString& path);
    void OpenRecentFile(const QString& path);
    void ReadSettings(const QString& path);

    Prompts& prompts_;
    PromptNotifier notifier_;
    MessageLogModel logModel_;
    QueuedLogReceiver logReceiver_;
    // Raised when the window closes during a device operation, so a silent device cannot keep
    // it open for the read time-out. It outlives the core, whose port watches it.
    AbortRequest closeRequest_;
    ApplicationCore core_;
    std::unique_ptr<SerialPortLister> lister_;
    DeviceSession session_;
    // The outputs a close left running, per port, as ostra-cli keeps them: the next connect
    // shows the panels as the device was left.
    RememberedOutputs outputs_;
    ManualControl manual_;
    StopRequests stops_;
    // The upload the manager page runs; the page and the status line show it.
    UploadState uploads_{std::chrono::milliseconds(40)};
    DeviceWorker worker_;
    // The control socket while the window is open (after a successful start).
    std::unique_ptr<WindowControl> control_;
    QtSequenceEditorPrompts editorPrompts_{this};
    SettingsKeeper keeper_{core_, [this] { return busy_ == 0; }};

    DeviceSnapshot snapshot_;
    bool wired_ = false;
    int busy_ = 0;
    bool closePending_ = false;
    // The close stops the device without asking (an exit signal).
    bool closeWithoutAsking_ = false;
    // The close already sent its stop: it does not ask again, whatever the device answered.
    bool closeStopSent_ = false;
    bool closed_ = false;
    int exitCode_ = 0;
    bool connecting_ = false;
    // Why the connection failed or ended; shown until the next connect.
    std::wstring deviceError_;
    QTimer statusTicker_;
    // A redraw after a change of the sequences is already waiting in the event queue.
    std::atomic<bool> sequencesRedrawQueued_{false};

    QTabWidget* pages_ = nullptr;
    ManualControlPage* manualPage_ = nullptr;
    SequenceEditorPage* editorPage_ = nullptr;
    SequenceManagerPage* managerPage_ = nullptr;
    QTableView* logView_ = nullptr;
    QComboBox* logFilter_ = nullptr;
    QAction* openSettings_ = nullptr;
    QAction* saveSettings_ = nullptr;
    QAction* clearLog_ = nullptr;
    QAction* connect_ = nullptr;
    QAction* disconnect_ = nullptr;
    QAction* stopAll_ = nullptr;
    QMenu* recentFiles_ = nullptr;
    QLabel* status_ = nullptr;
    // Every change of the sequences, from the editor and the manager, as undoable steps.
    QUndoStack* undoStack_ = nullptr;
    std::unique_ptr<UndoStackHistory> history_;
    QMenu* editMenu_ = nullptr;
    QAction* undo_ = nullptr;
    QAction* redo_ = nullptr;
};
