// One start-up of the application core to ready with the large settings file, in a process of
// its own, and the peak resident memory of that process. The file is written a sequence at a
// time beforehand, so the figure before the start-up shows what the program had already.

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
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

}  // namespace

int main() {
    StartupEnvironment environment;
    if (!environment.IsReady()) {
        std::fprintf(stderr, "the start-up environment could not be made\n");
        return EXIT_FAILURE;
    }
    const double before = PeakResidentMebibytes();
    StderrNotifier notifier;
    ApplicationCore core(notifier);
    const auto start = std::chrono::steady_clock::now();
    const bool started = core.RunStartupSequence() == ApplicationCore::StartupResult::Started;
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    const double after = PeakResidentMebibytes();
    const std::string problem = StartupEnvironment::CheckStarted(core, started);
    if (!problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return EXIT_FAILURE;
    }
    std::printf("start-up to ready with the large settings file: %.0f ms\n", took.count());
    std::printf("peak resident memory: %.1f MiB (%.1f MiB before the start-up)\n", after, before);
    return EXIT_SUCCESS;
}
