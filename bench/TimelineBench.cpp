// Building the stimulus timeline of the deepest sequence of the largest settings file, against
// timing the same sequence, in the same run. Sequence 0 opens a chain of calls four deep, each
// called twice (once inside a loop), and every sequence repeats blocks with loops.
//
// Building includes the timing it starts with, which finds cycles and bad commands.

#include <benchmark/benchmark.h>

#include <memory>

#include "common/LargeSettingsFile.h"
#include "common/SettingsModels.h"
#include "sequences/StimulusTimeline.h"
#include "support/TempDir.h"

namespace {

constexpr std::uint32_t kDeepest = 0;

// Read once per program run.
const SettingsModels* TheLargeModels() {
    static const std::unique_ptr<SettingsModels> models = [] {
        TempDir directory;
        auto loaded = std::make_unique<SettingsModels>(nullptr);
        if (!LargeSettingsFile::Write(directory.Path() / "Large.cfg") ||
            loaded->ReadSettingsFile(directory.File("Large.cfg")) != VlrDataTypes::VLR_SUCCESS ||
            loaded->CountUsedSequences() != LargeSettingsFile::kSequenceCount) {
            loaded.reset();
        }
        return loaded;
    }();
    return models.get();
}

void BM_TimeDeepestSequence(benchmark::State& state) {
    const SettingsModels* models = TheLargeModels();
    if (models == nullptr) {
        state.SkipWithError("the large settings file did not load");
        return;
    }
    for (auto _ : state) {
        double duration = 0.0;
        benchmark::DoNotOptimize(models->Sequences().GetSequenceDuration(kDeepest, duration));
        benchmark::DoNotOptimize(duration);
    }
}

void BM_BuildDeepestTimeline(benchmark::State& state) {
    const SettingsModels* models = TheLargeModels();
    if (models == nullptr) {
        state.SkipWithError("the large settings file did not load");
        return;
    }
    const TimelineOutputs outputs{{L"Blue", L"Green", L"Red"}, {26, 26, 26}};
    double timed = 0.0;
    models->Sequences().GetSequenceDuration(kDeepest, timed);
    for (auto _ : state) {
        const TimelineBuild build = StimulusTimeline::Build(models->Sequences(), kDeepest, outputs);
        if (!build.timeline || build.timeline->DurationMs() != timed) {
            state.SkipWithError("the timeline does not end where timing does");
            break;
        }
        state.counters["settings"] = static_cast<double>(build.timeline->Root().eventCount);
    }
}

BENCHMARK(BM_TimeDeepestSequence)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BuildDeepestTimeline)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
