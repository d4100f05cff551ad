#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QTabWidget>
#include <QTableView>
#include <clocale>
#include <csignal>
#include <filesystem>
#include <fstream>

#include "MainWindowFixture.h"
#include "foundation/TextConversion.h"

namespace {

namespace fs = std::filesystem;

// Which controls are enabled in which state is the window states' table; here only the wiring.
TEST_F(MainWindowTest, ConnectAndDisconnectChangeTitleAndMenus) {
    Trigger("connect");
    EXPECT_EQ(window_->windowTitle(), "Ostra - Connected To Zavik Driver");
    EXPECT_TRUE(window_->findChild<QAction*>("disconnect")->isEnabled());
    EXPECT_TRUE(Button(2, "pulseToggle")->isEnabled());
    Trigger("disconnect");
    EXPECT_EQ(window_->windowTitle(), "Ostra - Disconnected From Zavik Driver");
    EXPECT_FALSE(Button(0, "ledToggle")->isEnabled());
    EXPECT_TRUE(prompts_.boxes.empty());
    // Without a device: the connection box (its text is the session's), and nothing changes.
    driver_.Unplug();
    Trigger("connect");
    ASSERT_TRUE(WaitFor([this] { return !prompts_.boxes.empty(); }));
    EXPECT_EQ(prompts_.boxes.size(), 1u);
    EXPECT_EQ(window_->windowTitle(), "Ostra - Disconnected From Zavik Driver");
    EXPECT_TRUE(window_->findChild<QAction*>("connect")->isEnabled());
}

TEST_F(MainWindowTest, ManualCommandsReachTheDevice) {
    Trigger("connect");
    Click(0, "ledToggle");
    EXPECT_EQ(driver_->State().OutputMask(), 0x0081);
    EXPECT_EQ(Button(0, "ledToggle")->text(), "Turn LED Off");
    Enter(1, "intensity", "200");
    EXPECT_EQ(driver_->State().CarriedIntensity(2), 55);
    EXPECT_EQ(window_->ManualPage()->Panel(1)->findChild<QLabel*>("percent")->text(), "(78)%");
    // A finite train: the timer ends it and unlocks the other panels.
    Enter(2, "loopCount", "3");
    Enter(2, "widthOn", "10");
    Enter(2, "widthOff", "40");
    Click(2, "pulseToggle");
    EXPECT_EQ(driver_->State().PulseTrainOf(1), (PulseTrain{100, 400, 3}));
    EXPECT_FALSE(Button(1, "ledToggle")->isEnabled());
    ASSERT_TRUE(WaitFor([this] { return window_->ManualPage()->PulsingPanel() < 0; }));
    EXPECT_EQ(driver_->State().PulseTrainOf(1), std::nullopt);
    EXPECT_TRUE(Button(1, "ledToggle")->isEnabled());
    // Text that is no number was once read as intensity 0 and sent.
    driver_.MarkHandled();
    Enter(0, "intensity", "abc");
    ASSERT_EQ(prompts_.boxes.size(), 1u);
    EXPECT_EQ(prompts_.boxes[0].first, "LED Property Error");
    EXPECT_EQ(window_->ManualPage()->Panel(0)->IntensityField()->text(), "26");
    EXPECT_TRUE(driver_.CommandIds().empty());
}

// Reading a settings file once reset a pulsing panel to "Start Pulse", and its timer then
// started a new train.
TEST_F(MainWindowTest, OpeningASettingsFileStopsTheRunningTrainFirst) {
    Trigger("connect");
    Enter(0, "loopCount", "2");
    Enter(0, "widthOn", "100");
    Enter(0, "widthOff", "100");
    Click(0, "pulseToggle");
    ASSERT_EQ(window_->ManualPage()->PulsingPanel(), 0);
    const std::wstring settings = dir_.File("settings.cfg");
    ASSERT_EQ(window_->Core().WriteSettingsFile(settings), 0);
    prompts_.openPath = QString::fromStdWString(settings);
    Trigger("openSettingsFile");
    EXPECT_EQ(driver_->State().PulseTrainOf(0), std::nullopt);
    EXPECT_FALSE(window_->ManualPage()->IsPulseTimerArmed());
    EXPECT_EQ(Button(0, "pulseToggle")->text(), "Start Pulse");
    driver_.MarkHandled();
    QTest::qWait(500);
    EXPECT_TRUE(driver_.CommandIds().empty());
}

// The rows kept are the message log rows' (newest 201); here only that errors show in red.
TEST_F(MainWindowTest, TheMessageLogShowsErrorsInRed) {
    QCoreApplication::processEvents();
    window_->findChild<QAction*>("clearMessageLog")->trigger();
    window_->Core().GetLogFile().WriteMessage(LogLevel::Notice, L"fine");
    window_->Core().GetLogFile().WriteMessage(LogLevel::Error, L"failed");
    QAbstractItemModel* model = window_->findChild<QTableView*>("messageLog")->model();
    ASSERT_TRUE(WaitFor([model] { return model->data(model->index(1, 2)) == "failed"; }));
    EXPECT_EQ(model->rowCount(), 2);
    EXPECT_EQ(model->data(model->index(1, 0), Qt::ForegroundRole).value<QBrush>().color(),
              QColor(255, 0, 0));
    EXPECT_NE(model->data(model->index(0, 0), Qt::ForegroundRole), QColor(255, 0, 0));
}

TEST_F(MainWindowTest, CloseDisconnectsSavesBothSettingsFilesAndExitsWithZero) {
    Trigger("connect");
    Enter(0, "intensity", "200");
    window_->findChild<QAction*>("exit")->trigger();
    EXPECT_TRUE(window_->IsClosed());
    EXPECT_EQ(window_->ExitCode(), 0);
    EXPECT_FALSE(window_->Core().GetMicroController().GetConnection().IsConnected());
    const fs::path dated = WideToPath(window_->Core().GetDataDirectory()) / "OstraSettings.cfg";
    const fs::path perUser = WideToPath(window_->Core().GetSettingsFilePath());
    ASSERT_TRUE(fs::exists(dated) && fs::exists(perUser));
    EXPECT_EQ(fs::file_size(dated), fs::file_size(perUser));
}

// Pictures of both pages, connected, for anyone without a display.
TEST_F(MainWindowTest, SavesAPictureOfEachPage) {
    Trigger("connect");
    window_->show();
    ASSERT_TRUE(QDir().mkpath(OSTRA_SCREENSHOT_DIR));
    auto* pages = window_->findChild<QTabWidget*>("pages");
    const char* const names[] = {"manual-control.png", "sequence-control.png"};
    for (int index = 0; index < 2; ++index) {
        pages->setCurrentIndex(index);
        Settle();
        EXPECT_TRUE(window_->grab().save(QStringLiteral(OSTRA_SCREENSHOT_DIR "/") + names[index]));
    }
}

TEST(MainWindowStartupTest, AfterAnEarlyFailureOnlyExitAndAboutStay) {
    TempDir dir;
    PrivateUserEnvironment environment(dir.Path());
    // TEMP names a file: no data directory can be made below it.
    std::ofstream(dir.Path() / "temp");
    ScopedEnvironmentVariable temp("TEMP", (dir.Path() / "temp" / "x").string());
    RecordingPrompts prompts;
    MainWindow window(prompts, std::make_unique<ListedPorts>());
    EXPECT_EQ(window.Start(), ApplicationCore::StartupResult::DataDirectoryFailed);
    EXPECT_EQ(prompts.boxes.size(), 1u);
    QStringList enabled;
    for (QAction* action : window.findChildren<QAction*>()) {
        if (action->isEnabled() && !action->objectName().isEmpty()) {
            enabled << action->objectName();
        }
    }
    enabled.sort();
    EXPECT_EQ(enabled, (QStringList{"about", "exit"}));
    EXPECT_FALSE(window.findChild<QTabWidget*>("pages")->isEnabled());
}

// The program itself: SIGTERM ends it as Close does.
TEST(OstraProgramTest, SigtermSavesTheSettingsAndExitsWithZero) {
    TempDir dir;
    QProcess ostra;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"TEMP", "APPDATA", "HOME"}) {
        environment.insert(name, QString::fromStdString((dir.Path() / name).string()));
    }
    environment.insert("OSTRA_PORT_DIR", QString::fromStdString((dir.Path() / "ports").string()));
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

}  // namespace

int main(int argc, char** argv) {
    // ctest sets it too; this covers the test discovery and a run by hand.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
