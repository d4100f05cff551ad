#pragma once

#include <vector>

#include "ostra-cli/CommandContext.h"

// ostra-cli led on|off|intensity|pulse-start|pulse-stop: the manual commands of the device
// model with its limits and messages. Values are checked before the device is contacted, so a
// wrong label or value is a validation error even without a device. Intensities and pulse
// parameters are the operator's settings: they are stored (and saved on exit) and then sent.
class LedCommand {
  public:
    explicit LedCommand(CommandContext& context) : context_(context) {}

    CommandOutcome Run();

  private:
    int FindLEDs(std::vector<int>& indexes);
    int SwitchOutputs(bool on);
    int SetIntensity();
    int StartPulse();
    int StopPulse();
    int StorePulseParameters(int index);
    void ReportLEDs(bool succeeded);

    CommandContext& context_;
};
