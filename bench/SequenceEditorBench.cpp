// The sequence editor against the core, in one process (not a Google Benchmark: the page is a
// widget and wants a QApplication).
//
// A 200-step sequence (steps switching the three LEDs and a TTL bit, with a duration each, and
// a loop around half of them) is timed by the core, loaded into the editor page, and one row is
// committed through the editor. Each figure is the median of 21 runs.
//
// Then 1,000 cell edits (durations of different rows, so none merge) are recorded on an undo
// stack as the window records them, undone one by one and redone one by one; each undo and redo
// restores the model, reloads the page and lets it repaint, as the window does. The median and
// the longest of the 1,000 are shown.

#include <QApplication>
#include <QElapsedTimer>
#include <QUndoStack>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <functional>
#include <vector>

#include "common/WindowBenchmark.h"
#include "sequences/SequenceContainer.h"
#include "ui/SequenceEditorPage.h"
#include "ui/SequenceUndoCommand.h"
#include "ui/StepCommands.h"

namespace {

constexpr int kRuns = 21;
constexpr std::uint32_t kSteps = 200;

class NoPrompts final : public SequenceEditorPrompts {
  public:
    std::optional<std::uint32_t> AskLoopCount() override { return std::nullopt; }
    std::optional<std::uint32_t> AskIntensity() override { return std::nullopt; }
    void ShowRuleError(const std::wstring&, const std::wstring&) override {}
};

constexpr int kEdits = 1000;

struct Spread {
    double median = 0.0;
    double longest = 0.0;
    int over20 = 0;
};

// Times `step` once for each of `count` calls.
Spread EachMilliseconds(int count, const std::function<void()>& step) {
    std::vector<double> times;
    for (int run = 0; run < count; ++run) {
        QElapsedTimer timer;
        timer.start();
        step();
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    const auto over = std::count_if(times.begin(), times.end(), [](double t) { return t >= 20.0; });
    return {times[times.size() / 2], times.back(), static_cast<int>(over)};
}

double MedianMilliseconds(const std::function<void()>& step) {
    return EachMilliseconds(kRuns, step).median;
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
    UseOffscreenUnlessSet();
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

    QUndoStack stack;
    UndoStackHistory history(stack, sequences, [&page](const SequenceFocus& focus) {
        page.ShowSequence(*focus.sequence);
        page.SelectRow(focus.row);
        QCoreApplication::processEvents();
    });
    StepCommands steps(editor, prompts);
    steps.Initialize(sequences);
    steps.SetHistory(&history);
    page.ShowSequence(0);
    const std::vector<CommandSet> original = sequences.GetCommandSets(0);
    for (int edit = 0; edit < kEdits; ++edit) {
        int row = edit * 7 % static_cast<int>(kSteps);
        row += row == 50 || row == 150 ? 1 : 0;
        steps.EndEdit(row, SequenceEditor::kDurationColumn, std::to_wstring(edit % 9 + 1));
    }
    const std::vector<CommandSet> edited = sequences.GetCommandSets(0);
    const Spread undo = EachMilliseconds(stack.count(), [&] { stack.undo(); });
    const bool undone = sequences.GetCommandSets(0) == original;
    const Spread redo = EachMilliseconds(stack.count(), [&] { stack.redo(); });
    const bool redone = sequences.GetCommandSets(0) == edited;
    std::printf("%d cell edits recorded as %d steps; all undone: %s, all redone: %s\n", kEdits,
                stack.count(), undone ? "yes" : "NO", redone ? "yes" : "NO");
    std::printf("  undo one edit                %8.3f ms  (longest %.3f ms, %d of %d over 20 ms)\n",
                undo.median, undo.longest, undo.over20, kEdits);
    std::printf("  redo one edit                %8.3f ms  (longest %.3f ms, %d of %d over 20 ms)\n",
                redo.median, redo.longest, redo.over20, kEdits);
    return undone && redone ? 0 : 1;
}
