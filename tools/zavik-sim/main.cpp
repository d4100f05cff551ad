#include <iostream>

#include "device/PortDirectory.h"
#include "foundation/LogFile.h"
#include "foundation/TextConversion.h"
#include "foundation/platform/ExitSignals.h"
#include "zavik-sim/ConsoleMessageReceiver.h"
#include "zavik-sim/SimulatorCommandLine.h"
#include "zavik-sim/ZavikSimulator.h"

namespace {

constexpr int kExitCannotStart = 1;
constexpr int kExitHungUp = 3;
// How often the program looks whether the device was unplugged by a hangup fault.
constexpr std::chrono::milliseconds kWatchInterval{50};

void PrintReady(const ZavikSimulator& simulator) {
    std::cout << "zavik-sim: " << WideToNarrow(simulator.PortName()) << " at "
              << WideToNarrow(PortDirectory::PathText(simulator.SlavePath())) << " (registered in "
              << WideToNarrow(PortDirectory::PathText(simulator.RegisteredPath().parent_path()))
              << ")" << std::endl;
}

// Runs until a signal, the exit time or a hangup; the program's exit status.
int RunUntilDone(const ZavikSimulator& simulator, std::chrono::milliseconds exitAfter) {
    const auto end = std::chrono::steady_clock::now() + exitAfter;
    for (;;) {
        if (simulator.IsHungUp()) {
            return kExitHungUp;
        }
        auto wait = kWatchInterval;
        if (exitAfter.count() > 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                return 0;
            }
            wait = std::min(wait, left);
        }
        if (ExitSignals::WaitFor(wait)) {
            return 0;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    ProgramOptions options;
    int exitCode = 0;
    if (SimulatorCommandLine::Parse(argc, argv, options, exitCode, std::cout, std::cerr) != 0) {
        return exitCode;
    }
    ConsoleMessageReceiver receiver;
    LogFile log;
    log.SetMessageReceiver(&receiver);
    // Before the emulator's thread exists, so that only the main thread ever takes the signals.
    ExitSignals::Block();
    ZavikSimulator simulator(options.simulator, &log);
    if (simulator.Start() != 0) {
        return kExitCannotStart;
    }
    PrintReady(simulator);
    exitCode = RunUntilDone(simulator, options.exitAfter);
    simulator.Stop();
    return exitCode;
}
