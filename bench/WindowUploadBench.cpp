// The window's upload of 10,000 script commands against the application core's alone, in one
// process against the emulated driver (not a Google Benchmark: the event loop must run).
//
// 1. The longest gap between two event-loop turns while the window uploads (Upload button to
//    the end of the job): a 1 ms timer records every turn of the window's event loop.
// 2. The whole upload's time through the window against ApplicationCore::UploadSequences on a
//    core without a window (what ostra-cli calls), seven uploads each in
//    alternating rounds.

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <optional>
#include <vector>

#include "app/ApplicationCore.h"
#include "app/DeviceSession.h"
#include "common/StartupEnvironment.h"
#include "common/WindowBenchmark.h"
#include "device/MicroController.h"
#include "device/SerialPortLister.h"
#include "support/EmulatedDriver.h"
#include "ui/MainWindow.h"
#include "ui/SequenceManagerPage.h"

namespace {

constexpr int kRuns = 7;
// Two script commands a step: the output with its TTL line, and the duration.
constexpr std::uint32_t kSteps = 5000;

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

// ApplicationCore::UploadSequences on a core without a window, connected as ostra-cli connects:
// the upload's milliseconds.
std::optional<double> UploadThroughCore(Prompts& prompts, std::size_t& commandCount) {
    PromptNotifier notifier(prompts);
    ApplicationCore core(notifier);
    core.RunStartupSequence();
    core.GetMicroController().SetPortNumber(6);
    DefineLongSequence(core.GetSequenceContainer());
    const std::unique_ptr<SerialPortLister> lister = CreatePlatformSerialPortLister();
    DeviceSession session(core.GetMicroController(), *lister, notifier, &core.GetLogFile());
    if (session.Connect() != 0) {
        std::fprintf(stderr, "the core did not connect\n");
        return std::nullopt;
    }
    QElapsedTimer clock;
    clock.start();
    const SequenceUpload::Result result =
        core.UploadSequences([&](const SequenceUpload::Progress& step) {
            commandCount = std::max(commandCount, step.commandCount);
        });
    const double elapsed = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    session.Disconnect();
    core.ShutDown(ApplicationCore::SettingsOnShutDown::Keep);
    if (!result.status) {
        std::fprintf(stderr, "the core's upload failed\n");
        return std::nullopt;
    }
    return elapsed;
}

// The window's Upload button to the end of its job: the milliseconds. With longestGap, a 1 ms
// timer records every turn of the event loop meanwhile and keeps the longest gap between two.
std::optional<double> UploadThroughWindow(Prompts& prompts, qint64* longestGap) {
    MainWindow window(prompts);
    window.Start();
    window.Core().GetMicroController().SetPortNumber(6);
    DefineLongSequence(window.Core().GetSequenceContainer());
    window.show();
    window.findChild<QAction*>("connect")->trigger();
    WaitWhileBusy(window);
    auto* upload = window.ManagerPage()->findChild<QPushButton*>("uploadButton");
    if (!upload->isEnabled()) {
        std::fprintf(stderr, "Upload is not enabled\n");
        return std::nullopt;
    }
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    QTimer turns;
    QObject::connect(&turns, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        *longestGap = std::max(*longestGap, now - last);
        last = now;
    });
    if (longestGap != nullptr) {
        turns.start(1);
    }
    upload->click();
    WaitWhileBusy(window);
    const double elapsed = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    window.close();
    return elapsed;
}

}  // namespace

int main(int argc, char* argv[]) {
    UseOffscreenUnlessSet();
    QApplication application(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    StartupEnvironment environment;
    TempDir ports;
    EmulatedDriver driver(ports.Path(), 6);
    if (!environment.IsReady() || driver.Start() != 0) {
        std::fprintf(stderr, "the start-up environment or the emulated driver is missing\n");
        return 1;
    }
    AnsweringPrompts prompts(true);

    // Rounds alternate the core alone (connected as ostra-cli connects) and the window, so that
    // both see the same load on the machine; only the upload itself is timed. The 1 ms timer
    // that finds the event loop's gaps costs CPU of its own: it runs only in a last window
    // round of its own, which is not timed.
    std::vector<double> coreMs;
    std::vector<double> windowMs;
    std::size_t commandCount = 0;
    qint64 longestGap = 0;
    for (int run = 0; run < kRuns; ++run) {
        const std::optional<double> core = UploadThroughCore(prompts, commandCount);
        environment.ForgetRuns();
        const std::optional<double> window = UploadThroughWindow(prompts, nullptr);
        environment.ForgetRuns();
        if (!core || !window) {
            return 1;
        }
        coreMs.push_back(*core);
        windowMs.push_back(*window);
    }
    if (!UploadThroughWindow(prompts, &longestGap)) {
        return 1;
    }
    // Each round's pair shares the machine's load of the moment: their ratio scatters less
    // than the ratio of two medians; the fastest of each shows the cost without the load.
    std::vector<double> ratios;
    for (std::size_t i = 0; i < coreMs.size(); ++i) {
        ratios.push_back(windowMs[i] / coreMs[i]);
    }
    std::printf("script commands uploaded:               %8zu\n", commandCount);
    std::printf("core alone (UploadSequences): median %8.1f ms, fastest %8.1f ms\n", Median(coreMs),
                *std::min_element(coreMs.begin(), coreMs.end()));
    std::printf("window (Upload to done):      median %8.1f ms, fastest %8.1f ms\n",
                Median(windowMs), *std::min_element(windowMs.begin(), windowMs.end()));
    std::printf("window / core: median of the rounds' ratios %.2f, of the fastest %.2f\n",
                Median(ratios),
                *std::min_element(windowMs.begin(), windowMs.end()) /
                    *std::min_element(coreMs.begin(), coreMs.end()));
    std::printf("longest event-loop gap while uploading: %.1f ms\n",
                static_cast<double>(longestGap) / 1e6);
    return 0;
}
