// The window against the core alone, in one process (not a Google Benchmark: the event loop
// must run between the steps).
//
// 1. Start-up to ready with the large settings file: the application core's RunStartupSequence
//    alone, then the whole window (construction, start-up, shown and painted once), each the
//    median of five fresh starts; QApplication's own creation is reported beside them.
// 2. The live validation of the large protocol on the window's thread: judging every sequence
//    once, then re-judging after one edit of the last sequence of a chain (four callers), the
//    median and the longest of 21 edits.
// 3. The longest gap between two event-loop turns while a silent device makes a manual command
//    (Turn LED On) wait for its read time-out, here shortened to 2 s: a 1 ms timer records
//    every turn of the window's event loop.

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "app/ApplicationCore.h"
#include "app/SequenceFiles.h"
#include "common/LargeSettingsFile.h"
#include "common/StartupEnvironment.h"
#include "common/WindowBenchmark.h"
#include "device/MicroController.h"
#include "device/SerialPort.h"
#include "support/EmulatedDriver.h"
#include "ui/LedPanel.h"
#include "ui/MainWindow.h"
#include "ui/ManualControlPage.h"
#include "ui/SequenceValidation.h"
#include "zavik-sim/FaultRule.h"

namespace {

constexpr int kRuns = 5;
constexpr int kEdits = 21;

double Milliseconds(const std::function<void()>& step) {
    QElapsedTimer clock;
    clock.start();
    step();
    return clock.nsecsElapsed() / 1e6;
}

// Each edit changes the duration of an ordinary step of the last sequence of a chain. After
// each the unsaved-settings check runs as the window runs it, and as it ran before: writing the
// whole settings text and comparing it with the text last saved.
void MeasureRevalidation(ApplicationCore& core) {
    SequenceContainer& sequences = core.GetSequenceContainer();
    const auto settingsText = [&core] {
        return core.GetMicroController().GetSettingsSection() +
               SequenceFiles::SettingsSection(core.GetSequenceContainer());
    };
    const std::wstring saved = settingsText();
    SequenceValidation validation(sequences);
    const double whole = Milliseconds([&] { validation.Recompute(); });
    std::vector<double> edits;
    std::vector<double> checks;
    std::vector<double> textChecks;
    for (int edit = 0; edit < kEdits; ++edit) {
        const auto number = static_cast<std::uint32_t>(edit * LargeSettingsFile::kChainLength + 4) %
                            LargeSettingsFile::kSequenceCount;
        std::vector<std::wstring> step = LargeSettingsFile::StepCommands(number, 3);
        step.back() = L"-Duration " + std::to_wstring(edit % 7 + 1);
        if (sequences.ReplaceCommandSet(number, 3, step) != 0) {
            std::fprintf(stderr, "the edit was refused\n");
            return;
        }
        edits.push_back(Milliseconds([&] { validation.Recompute(); }));
        bool unsaved = false;
        checks.push_back(Milliseconds([&] { unsaved = core.HasUnsavedSettings(); }));
        textChecks.push_back(Milliseconds([&] { unsaved = settingsText() != saved && unsaved; }));
        if (!unsaved) {
            std::fprintf(stderr, "an edit left the settings saved\n");
        }
    }
    std::printf("validation, every sequence:      %8.1f ms\n", whole);
    std::printf("re-validation after one edit:    %8.1f ms  (median of %d, longest %.1f ms)\n",
                Median(edits), kEdits, *std::max_element(edits.begin(), edits.end()));
    std::printf("unsaved check after one edit:    %8.2f ms  (median; by the whole text %.1f ms)\n",
                Median(checks), Median(textChecks));
}

}  // namespace

int main(int argc, char* argv[]) {
    UseOffscreenUnlessSet();
    QElapsedTimer applicationClock;
    applicationClock.start();
    QApplication application(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const double applicationMs = applicationClock.nsecsElapsed() / 1e6;

    StartupEnvironment environment;
    if (!environment.IsReady()) {
        std::fprintf(stderr, "the start-up environment could not be made\n");
        return 1;
    }
    AnsweringPrompts prompts(false);
    std::vector<double> coreMs;
    std::vector<double> windowMs;
    for (int run = 0; run < kRuns; ++run) {
        {
            PromptNotifier notifier(prompts);
            ApplicationCore core(notifier);
            QElapsedTimer clock;
            clock.start();
            const bool started =
                core.RunStartupSequence() == ApplicationCore::StartupResult::Started;
            coreMs.push_back(clock.nsecsElapsed() / 1e6);
            if (!StartupEnvironment::CheckStarted(core, started).empty()) {
                std::fprintf(stderr, "the core did not start\n");
                return 1;
            }
        }
        environment.ForgetRuns();
        {
            QElapsedTimer clock;
            clock.start();
            MainWindow window(prompts);
            const bool started = window.Start() == ApplicationCore::StartupResult::Started;
            window.show();
            // Ready: the first paint has been delivered and the queued log messages shown.
            QCoreApplication::processEvents();
            window.repaint();
            windowMs.push_back(clock.nsecsElapsed() / 1e6);
            if (!StartupEnvironment::CheckStarted(window.Core(), started).empty()) {
                std::fprintf(stderr, "the window's core did not start\n");
                return 1;
            }
        }
        environment.ForgetRuns();
    }
    const double core = Median(coreMs);
    const double windowStart = Median(windowMs);
    std::printf("QApplication created:            %8.1f ms\n", applicationMs);
    std::printf("core start-up to ready (median): %8.1f ms\n", core);
    std::printf("window start-up to shown:        %8.1f ms  (%.2f x the core)\n", windowStart,
                windowStart / core);

    TempDir ports;
    EmulatedDriver driver(ports.Path(), 6);
    if (driver.Start() != 0) {
        std::fprintf(stderr, "the emulated driver did not start\n");
        return 1;
    }
    MainWindow window(prompts);
    window.Start();
    MeasureRevalidation(window.Core());
    window.Core().GetMicroController().SetPortNumber(6);
    window.show();
    window.findChild<QAction*>("connect")->trigger();
    WaitWhileBusy(window);
    const std::chrono::milliseconds timeout(2000);
    window.Core().GetMicroController().GetConnection().Port().SetTimeouts(
        SerialTimeouts{timeout, timeout, std::chrono::milliseconds(0)});
    FaultRule silent;
    silent.kind = FaultKind::Silent;
    silent.commandId = 0x0A;
    driver->AddFault(silent);

    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 longestGap = 0;
    QTimer turns;
    QObject::connect(&turns, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longestGap = std::max(longestGap, now - last);
        last = now;
    });
    turns.start(1);
    last = clock.nsecsElapsed();
    window.ManualPage()->Panel(0)->findChild<QPushButton*>("ledToggle")->click();
    WaitWhileBusy(window);
    const double waited = clock.nsecsElapsed() / 1e6;
    turns.stop();
    std::printf("silent device: command waited    %8.1f ms, longest event-loop gap %.1f ms\n",
                waited, longestGap / 1e6);
    window.close();
    return 0;
}
