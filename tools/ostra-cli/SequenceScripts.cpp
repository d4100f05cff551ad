#include "ostra-cli/SequenceScripts.h"

#include "device/MicroController.h"

SequenceScripts::SequenceScripts(const MicroController& device, LogFile* log) : conversion_(log) {
    for (int index = 0; index < device.GetLEDCount(); ++index) {
        LEDRecord led;
        if (device.GetLEDInfo(index, led) == VlrDataTypes::VLR_SUCCESS) {
            conversion_.RegisterLED(led.colorLabel, led.deviceLedId);
            leds_.emplace_back(led.colorLabel, led.deviceLedId);
        }
    }
}

VlrDataTypes::VlrRetVal SequenceScripts::Convert(const std::vector<CommandSet>& commandSets,
                                                 std::vector<std::uint8_t>& scriptBytes) {
    return conversion_.Convert(commandSets, scriptBytes);
}
