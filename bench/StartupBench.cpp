// Start-up of the application core to ready, with the large settings file as the operator's
// per-user settings: data directories, the log, the setup file beside this program, and the
// 255 sequences of the settings file. The peak memory of the process is reported beside it
// (ostra-bench-startup-memory measures one start-up on its own).
//
// Only RunStartupSequence is timed; each run starts with a fresh core and a data root of its
// own, and is checked to have read every sequence.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <memory>
#include <string>

#include "app/ApplicationCore.h"
#include "common/StartupEnvironment.h"
#include "foundation/Notifier.h"

namespace {

double PeakResidentMebibytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB
}

void BM_StartupToReady(benchmark::State& state) {
    StartupEnvironment environment;
    if (!environment.IsReady()) {
        state.SkipWithError("the start-up environment could not be made");
        return;
    }
    StderrNotifier notifier;
    for (auto _ : state) {
        state.PauseTiming();
        auto core = std::make_unique<ApplicationCore>(notifier);
        state.ResumeTiming();

        const bool started = core->RunStartupSequence() == ApplicationCore::StartupResult::Started;

        state.PauseTiming();
        const std::string problem = StartupEnvironment::CheckStarted(*core, started);
        if (!problem.empty()) {
            state.SkipWithError(problem.c_str());
            break;
        }
        core.reset();
        environment.ForgetRuns();
        state.ResumeTiming();
    }
    state.counters["peak_rss_MiB"] = PeakResidentMebibytes();
}

BENCHMARK(BM_StartupToReady)->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();
