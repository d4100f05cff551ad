#pragma once

#include <cstdint>
#include <vector>

#include "device/MicroControllerCommandConversion.h"
#include "foundation/VlrDataTypes.h"
#include "ostra-cli/ScriptCommandText.h"
#include "sequences/SequenceSlot.h"

class LogFile;
class MicroController;

// Converts sequences into script commands for showing and checking them, with a converter of
// its own that knows the device model's LEDs: the model's converter stays the upload's alone.
class SequenceScripts {
  public:
    SequenceScripts(const MicroController& device, LogFile* log);

    // As the upload would convert them; failures are logged.
    VlrDataTypes::VlrRetVal Convert(const std::vector<CommandSet>& commandSets,
                                    std::vector<std::uint8_t>& scriptBytes);

    const ScriptCommandText::LedNames& Leds() const { return leds_; }

  private:
    MicroControllerCommandConversion conversion_;
    ScriptCommandText::LedNames leds_;
};
