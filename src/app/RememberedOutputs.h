#pragma once

#include <utility>

#include "device/PortDirectory.h"

class MicroController;

// The LED outputs as a front end that lives for one command (the command line) knows them
// between its runs. The device cannot report its outputs, so the mask last sent to a port is
// kept in a small file per port in the per-user runtime folder beside the port directory
// ("outputs", a private folder), and taken as the device's outputs at the next connect to that
// port. That assumes nothing else changed them meanwhile: another program, a power cycle, a
// restarted emulator, or a sequence's own -On and -Off (a stop leaves them all off).
class RememberedOutputs {
  public:
    // The folder "outputs" beside the port directory.
    RememberedOutputs();
    explicit RememberedOutputs(PortDirectory::Place folder) : folder_(std::move(folder)) {}

    // The model of a device just connected takes the mask remembered for its port; nothing
    // changes when none is remembered (the outputs are believed off) or it cannot be read.
    void Recall(MicroController& device) const;
    // The model's mask for its open port; false when it could not be written.
    bool Record(MicroController& device) const;

  private:
    PortDirectory::Place folder_;
};
