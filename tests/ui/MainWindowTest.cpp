#include <gtest/gtest.h>

#include <QtTest/QTest>
#include <QtWidgets>
#include <algorithm>
#include <chrono>
#include <clocale>
#include <csignal>
#include <filesystem>
#include <functional>
#include <future>
#include <map>

#include "app/ControlClient.h"
#include "foundation/TextConversion.h"
#include "support/EmulatedDriver.h"
#include "support/FaultRules.h"
#include "support/ListedPorts.h"
#include "support/PrivateUserEnvironment.h"
#include "support/TempDir.h"
#include "ui/FontUnits.h"
#include "ui/LedPanel.h"
#include "ui/MainWindow.h"
#include "ui/ManualControlPage.h"
#include "ui/SequenceEditorPage.h"
#include "ui/SequenceManagerPage.h"

namespace {

using namespace std::chrono_literals;
using Boxes = std::vector<std::pair<QString, QString>>;
using Ids = std::vector<std::uint8_t>;
// The stop command, then every LED off.
const Ids kStopIds{0x19, 0x0A, 0x0A, 0x0A};

// Answers every prompt as the test set it up and records the boxes.
class RecordingPrompts final : public Prompts {
  public:
    void ShowError(QWidget*, const QString& c, const QString& t) override {
        boxes.emplace_back(c, t);
    }
    void ShowInformation(QWidget*, const QString&, const QString& t) override { informations << t; }
    bool Confirm(QWidget*, const QString&, const QString&) override { return true; }
    QString OpenSettingsFile(QWidget*) override { return openPath; }
    QString SaveSettingsFile(QWidget*) override { return savePath; }
    CloseChoice AskStopBeforeClose(QWidget*) override { return ++closeQuestions, closeChoice; }

    Boxes boxes;
    QStringList informations;
    QString openPath, savePath;
    CloseChoice closeChoice = CloseChoice::Stop;
    int closeQuestions = 0;
};

// Where a picture of the window is saved, for anyone without a display.
QString Picture(const QString& name) {
    return QStringLiteral(OSTRA_SCREENSHOT_DIR "/") + name;
}

bool WaitFor(const std::function<bool()>& condition, int milliseconds = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (; !condition(); QThread::msleep(2)) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    QCoreApplication::processEvents();
    return true;
}

// The window started on the default setup file (Blue, Green, Red as device LEDs 0, 2, 1) in a
// private user environment, with the emulated driver registered as port 4.
class MainWindowTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(driver_.Start(), 0);
        OpenWindow();
    }
    void OpenWindow() {
        auto lister = std::make_unique<ListedPorts>();
        lister->ports.push_back(driver_.Listing());
        window_.reset();
        window_ = std::make_unique<MainWindow>(prompts_, std::move(lister));
        // A window opened again within the second needs a data directory of its own.
        window_->Core().SetAllowNumberedDataDirectory(true);
        ASSERT_EQ(window_->Start(), ApplicationCore::StartupResult::Started);
    }
    // Shown and given the keyboard, as the operator's window has it.
    void ShowActive() {
        window_->show();
        window_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    }
    void Settle() {
        ASSERT_TRUE(WaitFor([this] { return !window_->IsBusy(); }));
    }
    template <typename Widget>
    Widget* Find(const char* name) {
        return window_->findChild<Widget*>(name);
    }
    void Trigger(const char* action) {
        Find<QAction>(action)->trigger();
        Settle();
    }
    SequenceContainer& Model() { return window_->Core().GetSequenceContainer(); }
    std::uint32_t Shown() { return *window_->ManagerPage()->Logic().Shown(); }
    std::vector<CommandSet> ShownSteps() { return Model().GetCommandSets(Shown()); }
    void ShowPage(int index) {
        Find<QTabWidget>("pages")->setCurrentIndex(index);
        Settle();
    }
    QPushButton* Button(int panel, const char* name) {
        return window_->ManualPage()->Panel(panel)->findChild<QPushButton*>(name);
    }
    void Click(int panel, const char* button) {
        QTest::mouseClick(Button(panel, button), Qt::LeftButton);
        Settle();
    }
    // Each field typed into and left, in turn.
    void Enter(int panel, std::initializer_list<std::pair<const char*, QString>> fields) {
        for (const auto& [field, text] : fields) {
            auto* edit = window_->ManualPage()->Panel(panel)->findChild<QLineEdit*>(field);
            edit->setText(text);
            edit->setModified(true);
            emit edit->editingFinished();
            Settle();
        }
    }
    // The demo protocol read (and connected) with the sequence control tab showing.
    void OpenDemo(bool connect) {
        prompts_.openPath =
            QString::fromStdWString(OSTRA_SOURCE_DIR L"/samples/settings/DemoProtocol.cfg");
        Trigger("openSettingsFile");
        if (connect)
            Trigger("connect");
        ShowPage(1);
    }
    // A step of the given commands after the last of the sequence shown; its index.
    std::uint32_t AddStep(std::initializer_list<const wchar_t*> commands) {
        const auto set = static_cast<std::uint32_t>(Model().GetCommandSets(Shown()).size());
        Model().AddCommandSet(Shown(), set);
        for (const wchar_t* command : commands)
            Model().AddCommand(Shown(), set, command);
        window_->EditorPage()->ShowSequence(Shown());
        return set;
    }
    // This test again in a child process, with what holds for a whole process changed.
    static void RunAgainInAChild(const std::map<QString, QString>& variables) {
        const char* test = testing::UnitTest::GetInstance()->current_test_info()->name();
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const auto& [name, value] : variables)
            environment.insert(name, value);
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--gtest_filter=MainWindowTest.") + test});
        ASSERT_TRUE(child.waitForFinished(60000));
        EXPECT_EQ(child.exitCode(), 0) << child.readAllStandardOutput().toStdString();
    }
    // Uploads the demo protocol and starts the sequence shown.
    void UploadAndStart() {
        QTest::mouseClick(Find<QPushButton>("uploadButton"), Qt::LeftButton);
        Settle();
        QTest::mouseClick(Find<QPushButton>("startStopButton"), Qt::LeftButton);
        ASSERT_TRUE(WaitFor([&] { return driver_->State().RunningSequence() == Shown(); }));
        driver_.MarkHandled();
    }
    // The stop command first, then every LED off (the manual page may switch them off again).
    void ExpectStopped() {
        ASSERT_TRUE(WaitFor([this] { return !window_->ManagerPage()->Executing(); }));
        Settle();
        Ids ids = driver_.CommandIds();
        ids.resize(std::min(ids.size(), kStopIds.size()));
        EXPECT_EQ(ids, kStopIds);
        EXPECT_FALSE(driver_->State().RunningSequence());
        EXPECT_EQ(Find<QPushButton>("startStopButton")->text(), "Start Execution");
    }

    TempDir dir_;
    PrivateUserEnvironment environment_{dir_.Path()};
    // The setup file's port: finding the driver there leaves the settings unchanged.
    EmulatedDriver driver_{dir_.Path() / "ports", 4};
    RecordingPrompts prompts_;
    std::unique_ptr<MainWindow> window_;
};

namespace fs = std::filesystem;

// The window with a question over its middle, as the operator meets it, in the screenshots.
void SaveWithQuestion(QWidget& window, QMessageBox& question, const char* name) {
    question.show();
    QCoreApplication::processEvents();
    QImage picture = window.grab().toImage();
    const QPixmap box = question.grab();
    QPainter(&picture).drawPixmap(picture.rect().center() - box.rect().center(), box);
    EXPECT_TRUE(picture.save(Picture(name)));
}

// Which controls are enabled in which state is the window states' table; here only the wiring.
// An unplugged device shows at the next transaction: the window disconnects and says why.
TEST_F(MainWindowTest, ConnectDisconnectAndAnUnpluggedDevice) {
    Trigger("connect");
    EXPECT_EQ(window_->windowTitle(), "Ostra - Connected To Zavik Driver");
    EXPECT_TRUE(Button(2, "pulseToggle")->isEnabled());
    Trigger("disconnect");
    EXPECT_EQ(window_->windowTitle(), "Ostra - Disconnected From Zavik Driver");
    EXPECT_FALSE(Button(0, "ledToggle")->isEnabled());
    Trigger("connect");
    driver_.Unplug();
    Click(0, "ledToggle");
    EXPECT_EQ(window_->windowTitle(), "Ostra - Disconnected From Zavik Driver");
    EXPECT_TRUE(Find<QAction>("connect")->isEnabled() && !Find<QAction>("stopAll")->isEnabled());
    EXPECT_TRUE(Find<QLabel>("deviceStatus")->text().startsWith("Error: The Zavik Driver"));
    // Without a device: the connection box (its text is the session's), and nothing changes.
    const std::size_t boxes = prompts_.boxes.size();
    Trigger("connect");
    EXPECT_TRUE(WaitFor([&] { return prompts_.boxes.size() == boxes + 1; }));
    EXPECT_EQ(window_->windowTitle(), "Ostra - Disconnected From Zavik Driver");
}

TEST_F(MainWindowTest, ManualCommandsReachTheDevice) {
    Trigger("connect");
    Click(0, "ledToggle");
    EXPECT_EQ(driver_->State().OutputMask(), 0x0081);
    EXPECT_EQ(Button(0, "ledToggle")->text(), "Turn LED Off");
    EXPECT_TRUE(Button(0, "ledToggle")->isChecked());
    Enter(1, {{"intensity", "200"}});
    EXPECT_EQ(driver_->State().CarriedIntensity(2), 55);
    EXPECT_EQ(window_->ManualPage()->Panel(1)->findChild<QLabel*>("percent")->text(), "(78)%");
    // A finite train: the timer ends it and unlocks the other panels.
    Enter(2, {{"loopCount", "3"}, {"widthOn", "10"}, {"widthOff", "40"}});
    Click(2, "pulseToggle");
    EXPECT_EQ(driver_->State().PulseTrainOf(1), (PulseTrain{100, 400, 3}));
    EXPECT_FALSE(Button(1, "ledToggle")->isEnabled());
    EXPECT_EQ(Button(2, "pulseToggle")->text(), "Stop Pulse");
    ASSERT_TRUE(WaitFor([this] { return window_->ManualPage()->PulsingPanel() < 0; }));
    EXPECT_EQ(driver_->State().PulseTrainOf(1), std::nullopt);
    EXPECT_TRUE(Button(1, "ledToggle")->isEnabled());
    // Text that is no number was once read as intensity 0 and sent.
    driver_.MarkHandled();
    Enter(0, {{"intensity", "abc"}});
    EXPECT_EQ(prompts_.boxes.size(), 1u);
    EXPECT_EQ(window_->ManualPage()->Panel(0)->IntensityField()->text(), "26");
    EXPECT_TRUE(driver_.CommandIds().empty());
}

// A silent device once kept a closing window open for the read time-out (300 s).
TEST_F(MainWindowTest, ClosingDuringAnOperationOnASilentDeviceEndsWithinSeconds) {
    driver_->AddFault(SilentFault(0x01));
    Find<QAction>("connect")->trigger();
    ASSERT_TRUE(window_->IsBusy());
    ASSERT_TRUE(driver_->WaitForPackets(1, 5s));
    const auto start = std::chrono::steady_clock::now();
    window_->close();
    ASSERT_TRUE(WaitFor([this] { return window_->IsClosed(); }, 5000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

// A running train makes a close ask first (Cancel keeps the window and sends nothing). Reading
// a settings file once reset a pulsing panel to "Start Pulse", and its timer then started a new
// train: the train is stopped first.
TEST_F(MainWindowTest, ARunningTrainAsksBeforeACloseAndEndsBeforeASettingsFileIsRead) {
    Trigger("connect");
    Enter(0, {{"loopCount", "2"}, {"widthOn", "1000"}, {"widthOff", "1000"}});
    Click(0, "pulseToggle");
    ASSERT_EQ(window_->ManualPage()->PulsingPanel(), 0);
    driver_.MarkHandled();
    prompts_.closeChoice = Prompts::CloseChoice::Cancel;
    window_->close();
    Settle();
    EXPECT_EQ(prompts_.closeQuestions, 1);
    ASSERT_FALSE(window_->IsClosed());
    EXPECT_TRUE(driver_.CommandIds().empty());
    const std::wstring settings = dir_.File("settings.cfg");
    ASSERT_EQ(window_->Core().WriteSettingsFile(settings), 0);
    prompts_.openPath = QString::fromStdWString(settings);
    Trigger("openSettingsFile");
    EXPECT_EQ(driver_->State().PulseTrainOf(0), std::nullopt);
    EXPECT_FALSE(window_->ManualPage()->IsPulseTimerArmed());
    EXPECT_EQ(Button(0, "pulseToggle")->text(), "Start Pulse");
}

// The rows kept are the message log rows' (newest 201); here only that errors show in red and
// that the filter the operator chose is there again in the next window. Exit disconnects (the
// save on closing is the program's SIGTERM test's).
TEST_F(MainWindowTest, TheMessageLogShowsErrorsInRedAndKeepsItsFilterOverAnExit) {
    Trigger("connect");
    Find<QAction>("clearMessageLog")->trigger();
    window_->Core().GetLogFile().WriteMessage(LogLevel::Notice, L"fine");
    window_->Core().GetLogFile().WriteMessage(LogLevel::Error, L"failed");
    QAbstractItemModel* model = Find<QTableView>("messageLog")->model();
    ASSERT_TRUE(WaitFor([model] { return model->data(model->index(1, 2)) == "failed"; }));
    EXPECT_EQ(model->rowCount(), 2);
    EXPECT_EQ(model->data(model->index(1, 0), Qt::ForegroundRole).value<QBrush>().color(),
              QColor(255, 0, 0));
    EXPECT_EQ(model->data(model->index(0, 0), Qt::ForegroundRole), QVariant());  // the palette's
    auto* filter = Find<QComboBox>("logFilter");
    filter->setCurrentIndex(filter->findText("Errors and Warnings"));
    EXPECT_EQ(model->rowCount(), 1);
    Trigger("exit");
    ASSERT_TRUE(window_->IsClosed());
    EXPECT_EQ(window_->ExitCode(), 0);
    EXPECT_FALSE(window_->Core().GetMicroController().GetConnection().IsConnected());
    OpenWindow();
    EXPECT_EQ(Find<QComboBox>("logFilter")->currentText(), "Errors and Warnings");
}

// The demo protocol uploaded to the emulator and a sequence run, stopped by its button, by Stop
// All while the run holds the worker (the status line said what ran), and by leaving for the
// manual page, which switches every LED off: through the page's own stop, rather than leaving
// "Stop Execution" on a run that no longer happens. An edit disables Start until an upload.
TEST_F(MainWindowTest, UploadRunStopThreeWaysAndAnEditDisablesStart) {
    OpenDemo(true);
    auto* startStop = Find<QPushButton>("startStopButton");
    EXPECT_FALSE(startStop->isEnabled());
    UploadAndStart();
    ASSERT_EQ(prompts_.boxes, Boxes{});
    ASSERT_EQ(prompts_.informations, QStringList{"Upload Complete!"});
    EXPECT_EQ(driver_->State().Sequences().size(), Model().UsedSequenceNumbers().size());
    EXPECT_EQ(startStop->text(), "Stop Execution");
    EXPECT_FALSE(Find<QPushButton>("uploadButton")->isEnabled());
    QTest::mouseClick(startStop, Qt::LeftButton);
    ExpectStopped();
    EXPECT_TRUE(startStop->isEnabled());
    Model().RenameSequence(Shown(), L"Edited");
    ASSERT_TRUE(WaitFor([&] { return !startStop->isEnabled(); }));
    // A change made elsewhere (as a script's would) shows in the editor too: 3 calls 0 twice.
    auto* total = Find<QLabel>("totalTime");
    Model().AddCommandSet(0, 2);
    Model().AddCommand(0, 2, L"-Duration 10");
    EXPECT_TRUE(WaitFor([&] { return total->text() == "1930.8 ms"; }))
        << total->text().toStdString();

    UploadAndStart();
    auto* status = Find<QLabel>("deviceStatus");
    ASSERT_TRUE(WaitFor([status] { return status->text().startsWith("Running sequence "); }));
    EXPECT_TRUE(status->text().endsWith(" | SIMULATED"));
    ASSERT_TRUE(Find<QAction>("stopAll")->isEnabled());
    Find<QAction>("stopAll")->trigger();
    ExpectStopped();
    EXPECT_TRUE(status->text().startsWith("Connected | COM4 "));

    UploadAndStart();
    ASSERT_EQ(Find<QTabWidget>("pages")->tabText(0), "  Manual Control  ");
    ShowPage(0);
    ExpectStopped();

    window_->show();
    for (const auto& [index, name] : {std::pair{0, "manual-control"}, {1, "sequence-control"}}) {
        ShowPage(index);
        EXPECT_TRUE(window_->grab().save(Picture(name) + ".png"));
    }
    EXPECT_TRUE(window_->ManagerPage()->grab().save(Picture("sequence-manager.png")));
}

// A step the conversion refuses: its cell is marked, the total says so, and Upload is disabled
// with the upload's reason until the step is mended. The pictures show it in the default and a
// dark palette; a second run of this test in a child process takes it at scale factor 2.
TEST_F(MainWindowTest, AnUnconvertibleStepDisablesUploadWithTheReason) {
    OpenDemo(true);
    auto* upload = Find<QPushButton>("uploadButton");
    ASSERT_TRUE(WaitFor([&] { return upload->isEnabled(); }));
    const std::uint32_t shown = Shown();
    const std::uint32_t set = AddStep({L"-SetIntensity Blue 200", L"-TTLHigh 3"});
    ASSERT_TRUE(WaitFor([&] { return !upload->isEnabled(); }));
    EXPECT_TRUE(upload->toolTip().startsWith(QStringLiteral("Sequence %1 (").arg(shown)))
        << upload->toolTip().toStdString();
    const QModelIndex ttl = window_->EditorPage()->Grid()->model()->index(
        static_cast<int>(set), SequenceEditor::kTTLColumn);
    EXPECT_TRUE(ttl.data(Qt::ToolTipRole).toString().startsWith("An intensity change"));
    EXPECT_EQ(Find<QLabel>("totalTimeProblem")->text(), "(cannot run)");

    window_->show();
    // One size in both runs: the window opens within the screen, which scaling makes smaller.
    window_->resize(1000, 700);
    Settle();
    QWidget* tab = Find<QWidget>("sequenceControlPage");
    const QString pictures = Picture("sequence-control-");
    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR")) {
        EXPECT_TRUE(tab->grab().save(pictures + "scale2.png"));
        return;
    }
    EXPECT_TRUE(tab->grab().save(pictures + "default.png"));
    const QPalette light = QApplication::palette();
    // Light text on dark grey: Qt derives the other colours from the button and window ones.
    QApplication::setPalette(QPalette(QColor(60, 60, 64), QColor(45, 45, 48)));
    Settle();
    EXPECT_TRUE(tab->grab().save(pictures + "dark.png"));
    QApplication::setPalette(light);

    // Scale factor 2 holds for a whole process: this test again, in a child.
    RunAgainInAChild({{"QT_SCALE_FACTOR", "2"}});
    const int normal = QImage(pictures + "default.png").width();
    EXPECT_NEAR(QImage(pictures + "scale2.png").width(), 2 * normal, normal / 10);

    Model().RemoveCommandSet(shown, set);
    ASSERT_TRUE(WaitFor([&] { return upload->isEnabled(); }));
    EXPECT_TRUE(upload->toolTip().isEmpty());

    // The 10 Hz train's preview says what the device's -EndLoop steps add to it.
    auto* list = window_->ManagerPage()->findChild<QTableView*>("sequenceList");
    list->setCurrentIndex(list->model()->index(1, 0));
    auto* note = window_->findChild<QLabel*>("timelineDeviceNote");
    ASSERT_TRUE(WaitFor([&] { return note->isVisible(); }));
    EXPECT_TRUE(note->text().startsWith("The device may take 1.0 ms longer than shown"))
        << note->text().toStdString();
    EXPECT_TRUE(tab->grab().save(pictures + "device-note.png"));
}

// Ctrl+Z takes a cell edit back, in the grid and the model; a two-step TSV on the clipboard
// pastes as two steps.
TEST_F(MainWindowTest, CtrlZUndoesACellEditAndPasteTakesStepsFromTheClipboard) {
    OpenDemo(false);
    ASSERT_NO_FATAL_FAILURE(ShowActive());
    const SequenceEditor& editor = window_->EditorPage()->Logic();
    int row = 0;
    while (editor.IsReadOnly(row, SequenceEditor::kDurationColumn))
        ++row;
    const auto before = ShownSteps();
    const std::wstring cell = editor.CellText(row, SequenceEditor::kDurationColumn);
    QTableView* grid = window_->EditorPage()->Grid();
    const QModelIndex index = grid->model()->index(row, SequenceEditor::kDurationColumn);
    grid->setFocus();
    // What the cell's editor commits (the editor itself is the page test's).
    grid->model()->setData(index, QStringLiteral("321"), Qt::EditRole);
    ASSERT_TRUE(WaitFor([&] { return ShownSteps() != before; }));
    QTest::keyClick(grid, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(ShownSteps(), before);
    EXPECT_EQ(editor.CellText(row, SequenceEditor::kDurationColumn), cell);
    EXPECT_EQ(grid->model()->data(index).toString().toStdWString(), cell);

    QGuiApplication::clipboard()->setText(QStringLiteral("0\t5\t\t\t-On\n0\t6\t\t\t\t-Off\n"));
    QTest::keyClick(grid, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(ShownSteps().size(), before.size() + 2);
    EXPECT_EQ(grid->model()->rowCount(), editor.RowCount());
    EXPECT_TRUE(prompts_.boxes.empty());
}

// The program itself: SIGTERM ends it as Close does.
TEST(OstraProgramTest, SigtermSavesTheSettingsAndExitsWithZero) {
    TempDir dir;
    QProcess ostra;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"TEMP", "APPDATA", "HOME", "OSTRA_PORT_DIR"})
        environment.insert(name, QString::fromStdString((dir.Path() / name).string()));
    ostra.setProcessEnvironment(environment);
    ostra.start(OSTRA_PROGRAM, {});
    ASSERT_TRUE(ostra.waitForStarted());
    const fs::path settings = dir.Path() / "APPDATA" / "Velorin" / "Ostra" / "OstraSettings.cfg";
    ASSERT_TRUE(WaitFor([&] { return fs::exists(settings.string() + ".lock"); }));
    QThread::msleep(300);
    ::kill(static_cast<pid_t>(ostra.processId()), SIGTERM);
    ASSERT_TRUE(ostra.waitForFinished(20000));
    EXPECT_EQ(ostra.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(ostra.exitCode(), 0);
    EXPECT_TRUE(fs::exists(settings));
}

// The upload's progress box ends it at its next transaction while the window answers on: its
// Cancel sends nothing more; Stop All, by Ctrl+. or the toolbar button, then sends the stop and
// every LED off. Start stays disabled: the device's copy is incomplete.
TEST_F(MainWindowTest, CancelOrStopAllDuringASlowUploadEndsIt) {
    driver_.Unplug();
    driver_.Config().answerDelay = 120ms;
    ASSERT_EQ(driver_.Start(), 0);
    OpenDemo(true);
    ASSERT_NO_FATAL_FAILURE(ShowActive());
    QAction* stopAll = Find<QAction>("stopAll");
    QWidget* button = Find<QToolBar>("deviceToolBar")->widgetForAction(stopAll);
    const std::size_t used = Model().UsedSequenceNumbers().size();
    for (const auto& [way, sentLast] :
         {std::pair{"Cancel", Ids{}}, {"Ctrl+.", kStopIds}, {"toolbar button", kStopIds}}) {
        SCOPED_TRACE(way);
        int turnsWhileBusy = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] { turnsWhileBusy += window_->IsBusy(); });
        ticker.start(1);
        QTest::mouseClick(Find<QPushButton>("uploadButton"), Qt::LeftButton);
        QProgressDialog* progress = nullptr;
        ASSERT_TRUE(WaitFor([&] {
            for (auto* dialog : window_->findChildren<QProgressDialog*>("uploadProgress"))
                progress = dialog->isVisible() ? dialog : progress;
            const DeviceState state = driver_->State();
            return progress != nullptr && state.Upload() && state.Upload()->ReceivedCount() > 0;
        }));
        driver_.MarkHandled();
        if (sentLast.empty()) {
            QTest::mouseClick(progress->findChild<QPushButton*>(), Qt::LeftButton);
        } else if (std::string(way) == "Ctrl+.") {
            QTest::keyClick(progress, Qt::Key_Period, Qt::ControlModifier);
        } else {
            QTest::mouseClick(button, Qt::LeftButton);
        }
        Settle();
        // The transactions under way when it was pressed, then what it sends itself.
        const Ids ids = driver_.CommandIds();
        ASSERT_GE(ids.size(), sentLast.size());
        EXPECT_LE(ids.size(), sentLast.size() + 2) << testing::PrintToString(ids);
        EXPECT_EQ(Ids(ids.end() - static_cast<long>(sentLast.size()), ids.end()), sentLast);
        EXPECT_GT(turnsWhileBusy, 1);
        EXPECT_LT(driver_->State().Sequences().size(), used);
        EXPECT_FALSE(Find<QPushButton>("startStopButton")->isEnabled());
        EXPECT_TRUE(Find<QPushButton>("uploadButton")->isEnabled());
    }
    EXPECT_TRUE(prompts_.informations.isEmpty());
}

// A close or an exit signal during a slow Turn LED On once let the command finish and sent
// nothing more: the LED stayed lit. Now the close waits for it and asks (an exit signal does
// not; Stop is Return, see the questions' test). Stop sends the stop and every LED off; after
// Cancel the window works on and the next command no longer closes it; Leave Running sends
// nothing and remembers the outputs for the port, so the next window's connect shows the LED on.
TEST_F(MainWindowTest, ClosingWithAnLedComingOnAsksAndDoesWhatWasChosen) {
    using Choice = Prompts::CloseChoice;
    const std::tuple<bool, Choice, int, Ids> cases[] = {
        {true, Choice::Stop, 0, {0x0A, 0x19, 0x0A, 0x0A, 0x0A}},
        {false, Choice::Stop, 1, {0x0A, 0x19, 0x0A, 0x0A, 0x0A}},
        {false, Choice::Cancel, 1, {0x0A, 0x0A}},
        {false, Choice::LeaveRunning, 1, {0x0A}}};
    driver_.Unplug();
    driver_.Config().answerDelay = 120ms;
    ASSERT_EQ(driver_.Start(), 0);
    for (const auto& [exitSignal, choice, questions, sent] : cases) {
        SCOPED_TRACE(static_cast<int>(choice) + (exitSignal ? 10 : 0));
        OpenWindow();
        Trigger("connect");
        driver_.MarkHandled();
        prompts_.closeQuestions = 0, prompts_.closeChoice = choice;
        const std::size_t packets = driver_->PacketCount();
        QTest::mouseClick(Button(0, "ledToggle"), Qt::LeftButton);
        ASSERT_TRUE(driver_->WaitForPackets(packets + 1, 5s));
        ASSERT_TRUE(window_->IsBusy());
        exitSignal ? window_->CloseOnExitSignal() : void(window_->close());
        if (choice == Choice::Cancel) {
            Settle();
            Click(0, "ledToggle");
        }
        ASSERT_TRUE(WaitFor([this] { return !window_->IsBusy(); }));
        EXPECT_EQ(window_->IsClosed(), choice != Choice::Cancel);
        EXPECT_EQ(prompts_.closeQuestions, questions);
        EXPECT_EQ(driver_.CommandIds(), sent);
        EXPECT_EQ(driver_->State().OutputMask() & 0x7, choice == Choice::LeaveRunning);
    }
    OpenWindow();
    Trigger("connect");
    EXPECT_EQ(Button(0, "ledToggle")->text(), "Turn LED Off");
    window_->show();
    Settle();
    SaveWithQuestion(*window_, *CloseQuestion(window_.get()), "close-question.png");
    driver_.MarkHandled();
    prompts_.closeQuestions = 0;
    window_->CloseOnExitSignal();
    ASSERT_TRUE(WaitFor([this] { return window_->IsClosed(); }));
    EXPECT_EQ(prompts_.closeQuestions, 0);
    EXPECT_EQ(driver_.CommandIds(), kStopIds);
    EXPECT_EQ(driver_->State().OutputMask() & 0x7, 0);
}

// Return takes the choice that loses nothing and leaves no light on; Escape changes nothing.
TEST_F(MainWindowTest, TheQuestionsDefaultToTheSafeChoice) {
    window_->show();
    Settle();
    using Recovery = PerUserFiles::RecoveryChoice;
    using Close = Prompts::CloseChoice;
    const auto recovery = [this] {
        return RecoveryQuestion(window_.get(), "/home/op/.config/OstraSettings.recovery.cfg");
    };
    const auto close = [this] { return CloseQuestion(window_.get()); };
    SaveWithQuestion(*window_, *recovery(), "recovery-question.png");
    const std::tuple<std::function<std::unique_ptr<QMessageBox>()>, Qt::Key, int> rows[] = {
        {recovery, Qt::Key_Return, static_cast<int>(Recovery::Open)},
        {recovery, Qt::Key_Escape, static_cast<int>(Recovery::Keep)},
        {close, Qt::Key_Return, static_cast<int>(Close::Stop)},
        {close, Qt::Key_Escape, static_cast<int>(Close::Cancel)}};
    for (const auto& [make, key, answer] : rows) {
        const std::unique_ptr<QMessageBox> box = make();
        box->show();
        QTest::keyClick(box.get(), key);
        EXPECT_EQ(ChosenAnswer(*box), answer) << box->objectName().toStdString();
    }
    EXPECT_EQ(InformationBox(nullptr, "", "Upload Complete!")->icon(), QMessageBox::Information);
}

// Tab and Shift+Tab go through a panel's fields in reading order and Enter stays, whether or
// not a value changed and a device command ran meanwhile. A width the operator did not type
// keeps its stored value (7.25 once became 7.2 when another field was changed).
TEST_F(MainWindowTest, TheKeyboardStaysInThePanelAndUntypedWidthsKeepTheirValue) {
    Trigger("connect");
    Enter(0, {{"widthOff", "7.25"}});
    ASSERT_NO_FATAL_FAILURE(ShowActive());
    LedPanel* panel = window_->ManualPage()->Panel(0);
    EXPECT_EQ(panel->PulseField(LedPanelTexts::PulseField::WidthOff)->text(), "7.25");
    const std::tuple<const char*, const char*, Qt::Key, const char*> steps[] = {
        {"widthOn", "5", Qt::Key_Tab, "widthOff"},
        {"widthOff", "", Qt::Key_Tab, "loopCount"},
        {"loopCount", "4", Qt::Key_Backtab, "widthOff"},
        {"intensity", "100", Qt::Key_Return, "intensity"}};
    for (const auto& [name, typed, key, focus] : steps) {
        SCOPED_TRACE(name);
        auto* field = panel->findChild<QLineEdit*>(name);
        field->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(field, typed);
        QTest::keyClick(QApplication::focusWidget(), key,
                        key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
        Settle();
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        EXPECT_EQ(QApplication::focusWidget()->objectName().toStdString(), focus);
    }
    LEDRecord led;
    window_->Core().GetMicroController().GetLEDInfo(0, led);
    EXPECT_EQ(std::tuple(led.pulse.widthOn, led.pulse.widthOff, led.pulse.loopCount, led.intensity),
              std::tuple(5.0, 7.25, 4u, 100u));
}

// What a new operator meets: how to connect, the program's icon, every shortcut of the menus in
// sight; and a save to a file of their choice clears the unsaved mark and joins the recent files.
TEST_F(MainWindowTest, HelpForANewOperatorAndSaveAs) {
    EXPECT_TRUE(Find<QLabel>("deviceStatus")->text().endsWith(" (Ctrl+K)"));
    Trigger("about");
    EXPECT_FALSE(Find<QLabel>("icon")->pixmap().isNull());
    Trigger("keyboardShortcuts");
    auto* list = Find<QTableWidget>("shortcutList");
    ASSERT_TRUE(WaitFor([list] { return list->isVisible(); }));
    EXPECT_EQ(list->verticalScrollBar()->maximum(), 0);
    // Read from the menus, so a new action shows without being added to the list.
    for (const char* keys : {"Ctrl+K  (Alt+C, C)", "Alt+C, D", "Alt+H, K"})
        EXPECT_EQ(list->findItems(keys, Qt::MatchExactly).size(), 1) << keys;

    Enter(0, {{"intensity", "200"}});
    ASSERT_TRUE(WaitFor([this] { return window_->windowTitle().startsWith("*"); }));
    prompts_.savePath = QString::fromStdWString(dir_.File("saved as.cfg"));
    Trigger("saveSettingsFile");
    EXPECT_TRUE(WaitFor([this] { return !window_->windowTitle().startsWith("*"); }));
    auto* recent = Find<QMenu>("recentSettingsFiles");
    ASSERT_TRUE(recent->isEnabled());
    EXPECT_EQ(recent->actions().front()->text(), prompts_.savePath);
    // A file is no command: the shortcut list leaves the recent files out.
    Trigger("keyboardShortcuts");
    const auto lists = window_->findChildren<QTableWidget*>("shortcutList");
    EXPECT_TRUE(lists.back()->findItems(prompts_.savePath, Qt::MatchExactly).isEmpty());
}

// An LED cell shows "-SetIntensity(200)" whole without scrolling the grid sideways, a pick from
// a cell's list applies at once, and a width the operator drags is there in the next window.
TEST_F(MainWindowTest, TheGridIsReadableQuickAndRemembersItsWidths) {
    OpenDemo(false);
    window_->show();
    AddStep({L"-On Red", L"-SetIntensity Red 200"});
    // The size it opens with on a screen large enough.
    window_->resize(FontUnits::Width(window_.get(), 1070), FontUnits::Height(window_.get(), 760));
    Settle();
    QTableView* grid = window_->EditorPage()->Grid();
    const int red = SequenceEditor::kFirstLedColumn + 2;
    EXPECT_GE(grid->columnWidth(red),
              static_cast<QAbstractItemView*>(grid)->sizeHintForColumn(red));
    EXPECT_EQ(grid->horizontalScrollBar()->maximum(), 0);
    EXPECT_TRUE(window_->EditorPage()->grab().save(Picture("sequence-grid.png")));

    // An entry picked from a cell's open list is applied at once, without Enter.
    ASSERT_NO_FATAL_FAILURE(ShowActive());
    const auto before = ShownSteps();
    const QModelIndex cell = grid->model()->index(2, red);  // a step of its own in the demo
    grid->setCurrentIndex(cell);
    grid->edit(cell);
    auto* box = grid->viewport()->findChild<QComboBox*>("choiceEditor");
    ASSERT_NE(box, nullptr);
    box->showPopup();
    const int entry = std::max(box->findText("-On"), box->findText("-Off"));
    ASSERT_GE(entry, 0);
    QAbstractItemView* list = box->view();
    ASSERT_TRUE(WaitFor([list] { return list->isVisible(); }));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(entry, 0)).center());
    EXPECT_TRUE(WaitFor([&] { return ShownSteps() != before; }));
    EXPECT_TRUE(WaitFor([editing = QPointer<QComboBox>(box)] {
        return editing == nullptr || !editing->isVisible();
    }));

    grid->horizontalHeader()->resizeSection(red, 150);
    window_->close();
    OpenWindow();
    EXPECT_EQ(window_->EditorPage()->Grid()->columnWidth(red), 150);
}

// The window opens within the screen, also with a large font (a second run in a child process
// with QT_FONT_DPI=130 on a 1400 x 1000 screen); at 900 x 600 the grid, the list and the
// buttons keep what they need, and the Execution box does not move when a run shows its bar.
TEST_F(MainWindowTest, TheWindowFitsTheScreenAndASmallOne) {
    OpenDemo(false);
    window_->show();
    Settle();
    const bool child = qEnvironmentVariableIsSet("QT_FONT_DPI");
    const QString pictures = Picture("window-");
    EXPECT_TRUE(window_->screen()->availableGeometry().contains(window_->frameGeometry()));
    EXPECT_TRUE(window_->grab().save(pictures + (child ? "dpi130.png" : "default.png")));
    QTemporaryFile screen1400x1000;
    if (!child && screen1400x1000.open()) {
        screen1400x1000.write(R"({"screens": [{"name": "big", "x": 0, "y": 0, "width": 1400,)"
                              R"( "height": 1000, "logicalDpi": 96, "dpr": 1}]})");
        screen1400x1000.close();
        RunAgainInAChild(
            {{"QT_FONT_DPI", "130"},
             {"QT_QPA_PLATFORM", "offscreen:configfile=" + screen1400x1000.fileName()}});
    }

    // Made small while the sequence page is hidden, as an operator may.
    ShowPage(0);
    window_->resize(900, 600);
    Settle();
    ShowPage(1);
    EXPECT_EQ(window_->size(), QSize(900, 600));
    QTableView* grid = window_->EditorPage()->Grid();
    if (!child) {
        EXPECT_EQ(grid->horizontalScrollBar()->maximum(), 0);
    }
    for (QTableView* table : {grid, Find<QTableView>("sequenceList")}) {
        EXPECT_GE(table->viewport()->height(), 3 * table->verticalHeader()->defaultSectionSize())
            << table->objectName().toStdString();
    }
    for (QPushButton* button : window_->findChildren<QPushButton*>())
        EXPECT_GE(button->width(), button->minimumSizeHint().width() * button->isVisible());
    auto* bar = Find<QProgressBar>("runProgress");
    const QRect box = bar->parentWidget()->geometry();
    const QRect upload = Find<QPushButton>("uploadButton")->geometry();
    bar->show();
    Find<QLabel>("runTime")->setText("Running: 0.9 s of 1.9 s");
    Settle();
    EXPECT_EQ(bar->parentWidget()->geometry(), box);
    EXPECT_EQ(Find<QPushButton>("uploadButton")->geometry(), upload);
    bar->hide();
    Find<QLabel>("runTime")->clear();
    EXPECT_TRUE(window_->grab().save(pictures + (child ? "dpi130-900x600.png" : "900x600.png")));
}

// A script on the control socket. Its lines are read on a thread of their own, since they
// come only while the window's event loop runs.
class ScriptClient {
  public:
    using Json = nlohmann::ordered_json;
    explicit ScriptClient(const fs::path& socket) { EXPECT_TRUE(client_.Connect(socket)); }
    Json Ask(Json request) {
        request["id"] = ++id_;
        client_.SendLine(request.dump());
        return Await([this](const Json& line) { return line.value("id", 0) == id_; });
    }
    // Who caused the next event `name` (subscribed).
    std::string CauseOf(const std::string& name) {
        return Await([&](const Json& line) { return line.value("event", "") == name; })
            .value("by", "");
    }

  private:
    Json Await(const std::function<bool(const Json&)>& wanted) {
        auto line = std::async(std::launch::async, [&] {
            for (std::optional<Json> next; (next = client_.ReadLine(30s));) {
                if (wanted(*next))
                    return *next;
            }
            return Json();
        });
        EXPECT_TRUE(WaitFor([&] { return line.wait_for(0s) == std::future_status::ready; }, 40000));
        return line.get();
    }

    ControlClient client_;
    int id_ = 0;
};

// What a script does shows as the operator's own: the status line, the panels, the countdown.
TEST_F(MainWindowTest, AScriptsChangesShowInTheWindow) {
    OpenDemo(false);
    ShowPage(0);
    ScriptClient script(dir_.Path() / "runtime/ostra/control.sock");
    auto* status = Find<QLabel>("deviceStatus");
    ASSERT_EQ(script.Ask({{"op", "subscribe"}})["ok"], true);
    ASSERT_EQ(script.Ask({{"op", "connect"}})["ok"], true);
    // The window redraws after the job, a moment after the answer left.
    EXPECT_TRUE(WaitFor([status] { return status->text().startsWith("Connected | COM4 "); }))
        << status->text().toStdString();
    EXPECT_TRUE(window_->windowTitle().endsWith("Ostra - Connected To Zavik Driver"));
    // The operator's own change is published as the window's.
    Click(1, "ledToggle");
    EXPECT_EQ(script.CauseOf("led"), "window");
    ASSERT_EQ(script.Ask({{"op", "led"}, {"label", "Blue"}, {"on", true}})["ok"], true);
    EXPECT_TRUE(WaitFor([this] { return Button(0, "ledToggle")->text() == "Turn LED Off"; }));
    ASSERT_EQ(script.Ask({{"op", "led"}, {"label", "Red"}, {"intensity", 77}})["ok"], true);
    EXPECT_TRUE(WaitFor(
        [this] { return window_->ManualPage()->Panel(2)->IntensityField()->text() == "77"; }));
    ASSERT_EQ(script.Ask({{"op", "upload"}})["ok"], true);
    ASSERT_EQ(script.Ask({{"op", "run"}, {"sequence", 3}})["ok"], true);
    ASSERT_TRUE(WaitFor([status] { return status->text().startsWith("Running sequence 3, "); }))
        << status->text().toStdString();
    window_->show();
    EXPECT_TRUE(window_->grab().save(Picture("script-run.png")));
    // The operator's Stop All ends a script's run too, and says so.
    Find<QAction>("stopAll")->trigger();
    EXPECT_EQ(script.CauseOf("sequenceEnded"), "window");
    ASSERT_TRUE(WaitFor([status] { return status->text().startsWith("Connected | "); }))
        << status->text().toStdString();
    Settle();
    EXPECT_EQ(driver_->State().OutputMask(), 0x0080);
    EXPECT_EQ(Button(0, "ledToggle")->text(), "Turn LED On");
}

}  // namespace

int main(int argc, char** argv) {
    // ctest sets it too; this covers the test discovery and a run by hand.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    QDir().mkpath(OSTRA_SCREENSHOT_DIR);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
