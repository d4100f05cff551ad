#pragma once

#include <cstdint>

#include "app/OperationResult.h"
#include "device/LEDRecord.h"

class LogFile;
class MicroController;

// The manual LED commands an operator gives (a window's LED panels, a command line), each
// answering with the reason of a failure as its parts logged it. The LED is named by its table
// index.
class ManualControl {
  public:
    // A null log gives failures without a reason of their own.
    ManualControl(MicroController& device, LogFile* log) : device_(device), log_(log) {}

    // Stored, and sent while connected.
    OperationResult SetIntensity(int index, std::uint32_t value);
    // Stored for the next pulse train; nothing is sent.
    OperationResult SetPulse(int index, const PulseParameters& pulse);
    OperationResult SwitchLED(int index, bool on);
    OperationResult StartPulse(int index);
    // Stops the train and switches the LED's output off.
    OperationResult StopPulse(int index);
    // Every stored intensity sent (only while connected), then every LED switched off, one
    // command per LED, each tried even after another failed.
    OperationResult SendIntensitiesAndSwitchAllOff();

  private:
    template <typename Operation>
    OperationResult Run(Operation operation);

    MicroController& device_;
    LogFile* log_;
};
