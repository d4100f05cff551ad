#pragma once

#include <chrono>
#include <ostream>

#include "foundation/VlrDataTypes.h"
#include "zavik-sim/SimulatorConfig.h"

// Everything the zavik-sim program is told on its command line.
struct ProgramOptions {
    SimulatorConfig simulator;
    // End by itself after this long (zero: run until SIGINT or SIGTERM).
    std::chrono::milliseconds exitAfter{0};
};

// The zavik-sim command line. --verbose points the packet printout at out.
class SimulatorCommandLine {
  public:
    // -1 when the program is to end at once with exitCode: help was asked for (printed to out,
    // code 0) or the options are wrong (explained on err).
    static VlrDataTypes::VlrRetVal Parse(int argc, const char* const* argv, ProgramOptions& options,
                                         int& exitCode, std::ostream& out, std::ostream& err);
};
