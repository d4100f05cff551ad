// The window's upload of 10,000 script commands against the application core's alone, in one
// process against the emulated driver (not a Google Benchmark: the event loop must run).
//
// 1. The longest gap between two event-loop turns while the window uploads (Upload button to
//    the end of the job): a 1 ms timer records every turn of the window's event loop.
// 2. The whole upload's time through the window against ApplicationCore::UploadSequences on a
//    core without a window (what ostra-cli calls), each the median of five uploads
//    in alternating rounds.

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <vector>

#include "app/ApplicationCore.h"
#include "app/DeviceSession.h"
#include "common/EmulatedDriver.h"
#include "common/StartupEnvironment.h"
#include "device/MicroController.h"
#include "device/SerialPortLister.h"
#include "ui/MainWindow.h"
#include "ui/SequenceManagerPage.h"

namespace {

constexpr int kRuns = 5;
// Two script commands a step: the output with its TTL line, and the duration.
constexpr std::uint32_t kSteps = 5000;

class AcceptingPrompts final : public Prompts {
  public:
    void ShowError(QWidget*, const QString&, const QString&) override {}
    bool Confirm(QWidget*, const QString&, const QString&) override { return true; }
    QString OpenSettingsFile(QWidget*) override { return {}; }
    QString SaveSettingsFile(QWidget*) override { return {}; }
};

// Replaces the settings file's sequences with one long sequence.
void DefineLongSequence(SequenceContainer& sequences) {
    for (const std::uint32_t number : sequences.UsedSequenceNumbers()) {
        sequences.RemoveSequence(number);
    }
    const std::vector<std::wstring> labels = sequences.GetColorLabels();
    sequences.AddSequence(0, L"Long");
    for (std::uint32_t step = 0; step < kSteps; ++step) {
        sequences.AddCommandSet(0, step);
        sequences.AddCommand(0, step, (step % 2 ? L"-On " : L"-Off ") + labels[step % 3]);
        sequences.AddCommand(0, step, step % 2 ? L"-TTLHigh 3" : L"-TTLLow 3");
        sequences.AddCommand(0, step, L"-Duration " + std::to_wstring(step % 7 + 1));
    }
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char* argv[]) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    StartupEnvironment environment;
    EmulatedDriver driver(6);
    if (!environment.IsReady() || driver.Start() != 0) {
        std::fprintf(stderr, "the start-up environment or the emulated driver is missing\n");
        return 1;
    }
    AcceptingPrompts prompts;

    // Rounds alternate the core alone (connected as ostra-cli connects) and the window, so that
    // both see the same load on the machine; only the upload itself is timed.
    std::vector<double> coreMs;
    std::vector<double> windowMs;
    std::size_t commandCount = 0;
    qint64 longestGap = 0;
    for (int run = 0; run < kRuns; ++run) {
        {
            PromptNotifier notifier(prompts);
            ApplicationCore core(notifier);
            core.RunStartupSequence();
            core.GetMicroController().SetPortNumber(6);
            DefineLongSequence(core.GetSequenceContainer());
            const std::unique_ptr<SerialPortLister> lister = CreatePlatformSerialPortLister();
            DeviceSession session(core.GetMicroController(), *lister, notifier, &core.GetLogFile());
            if (session.Connect() != 0) {
                std::fprintf(stderr, "the core did not connect\n");
                return 1;
            }
            QElapsedTimer clock;
            clock.start();
            const SequenceUpload::Result result =
                core.UploadSequences([&](const SequenceUpload::Progress& step) {
                    commandCount = std::max(commandCount, step.commandCount);
                });
            coreMs.push_back(clock.nsecsElapsed() / 1e6);
            if (!result.status) {
                std::fprintf(stderr, "the core's upload failed\n");
                return 1;
            }
            session.Disconnect();
            core.ShutDown(ApplicationCore::SettingsOnShutDown::Keep);
        }
        environment.ForgetRuns();
        {
            MainWindow window(prompts);
            window.Start();
            window.Core().GetMicroController().SetPortNumber(6);
            DefineLongSequence(window.Core().GetSequenceContainer());
            window.show();
            window.findChild<QAction*>("connect")->trigger();
            while (window.IsBusy()) {
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            }
            auto* upload = window.ManagerPage()->findChild<QPushButton*>("uploadButton");
            if (!upload->isEnabled()) {
                std::fprintf(stderr, "Upload is not enabled\n");
                return 1;
            }
            QElapsedTimer clock;
            clock.start();
            qint64 last = 0;
            QTimer turns;
            QObject::connect(&turns, &QTimer::timeout, [&] {
                const qint64 now = clock.nsecsElapsed();
                longestGap = std::max(longestGap, now - last);
                last = now;
            });
            turns.start(1);
            upload->click();
            while (window.IsBusy()) {
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            }
            windowMs.push_back(clock.nsecsElapsed() / 1e6);
            window.close();
        }
        environment.ForgetRuns();
    }
    const double core = Median(coreMs);
    const double shown = Median(windowMs);
    std::printf("script commands uploaded:            %8zu\n", commandCount);
    std::printf("core alone (UploadSequences, median): %8.1f ms\n", core);
    std::printf("window (Upload to done, median):      %8.1f ms  (%.2f x the core)\n", shown,
                shown / core);
    std::printf("longest event-loop gap while uploading: %.1f ms\n", longestGap / 1e6);
    return 0;
}
