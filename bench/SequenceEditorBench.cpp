// The sequence editor against the core, in one process (not a Google Benchmark: the page is a
// widget and wants a QApplication).
//
// A 200-step sequence (steps switching the three LEDs and a TTL bit, with a duration each, and
// a loop around half of them) is timed by the core, loaded into the editor page, and one row is
// committed through the editor. Each figure is the median of 21 runs.

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <functional>
#include <vector>

#include "sequences/SequenceContainer.h"
#include "ui/SequenceEditorPage.h"

namespace {

constexpr int kRuns = 21;
constexpr std::uint32_t kSteps = 200;

class NoPrompts final : public SequenceEditorPrompts {
  public:
    std::optional<std::uint32_t> AskLoopCount() override { return std::nullopt; }
    std::optional<std::uint32_t> AskIntensity() override { return std::nullopt; }
    void ShowRuleError(const std::wstring&, const std::wstring&) override {}
};

double MedianMilliseconds(const std::function<void()>& step) {
    std::vector<double> times;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer timer;
        timer.start();
        step();
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void Define(SequenceContainer& sequences) {
    const wchar_t* const kLabels[] = {L"Blue", L"Green", L"Red"};
    sequences.SetColorLabels({kLabels[0], kLabels[1], kLabels[2]});
    sequences.AddSequence(0, L"Long");
    for (std::uint32_t step = 0; step < kSteps; ++step) {
        sequences.AddCommandSet(0, step);
        if (step == 50) {
            sequences.AddCommand(0, step, L"-Loop 4");
        } else if (step == 150) {
            sequences.AddCommand(0, step, L"-EndLoop");
        } else {
            const std::wstring label = kLabels[step % 3];
            sequences.AddCommand(0, step, (step % 2 ? L"-On " : L"-Off ") + label);
            sequences.AddCommand(0, step, step % 2 ? L"-TTLHigh 3" : L"-TTLLow 3");
            sequences.AddCommand(0, step, L"-Duration " + std::to_wstring(step % 7 + 1));
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    SequenceContainer sequences;
    Define(sequences);
    NoPrompts prompts;
    SequenceEditorPage page(prompts);
    page.resize(1000, 500);
    page.show();
    page.Initialize(nullptr, sequences);

    double duration = 0.0;
    const double timing = MedianMilliseconds([&] {
        duration = 0.0;
        sequences.ComputeSequenceDuration(0, duration, {});
    });
    const double load = MedianMilliseconds([&] {
        page.ShowSequence(0);
        QCoreApplication::processEvents();
    });
    SequenceEditor& editor = const_cast<SequenceEditor&>(page.Logic());
    int flip = 0;
    const double commit = MedianMilliseconds(
        [&] { editor.EndEdit(10, SequenceEditor::kDurationColumn, ++flip % 2 ? L"3.5" : L"4.5"); });
    std::printf("200-step sequence, %.1f ms long (median of %d runs)\n", duration, kRuns);
    std::printf("  core timing                  %8.3f ms\n", timing);
    std::printf("  load into the editor page    %8.3f ms  (%.0f x timing)\n", load, load / timing);
    std::printf("  commit one row (duration)    %8.3f ms\n", commit);
    return 0;
}
