#include "app/SettingsCommands.h"

#include <string>
#include <vector>

#include "config/ConfigFileProcessor.h"
#include "device/DeviceSettingsWords.h"
#include "device/MicroController.h"
#include "foundation/TextConversion.h"
#include "sequences/SequenceContainer.h"
#include "sequences/SequenceFileWords.h"

using VlrDataTypes::VLR_SUCCESS;
using VlrDataTypes::VlrRetVal;

namespace {

using Arguments = std::vector<std::wstring>;
using SettingsArguments::Integer;
using SettingsArguments::Number;

}  // namespace

void InitializeSettingsProcessor(ConfigFileProcessor& processor, LogFile* log,
                                 MicroController& device, SequenceContainer& sequences) {
    processor.Initialize(log);
    processor.AddCommand(DeviceSettingsWords::kAddLED, 1, true, [&device](const Arguments& a) {
        // Optional; TextToDouble leaves 0 when it is absent or not a number.
        double maximumPower = 0.0;
        if (a.size() > 1) {
            TextToDouble(a[1], maximumPower);
        }
        return device.AddLED(a[0], maximumPower);
    });
    processor.AddCommand(DeviceSettingsWords::kSetPortNumber, 1, false,
                         [&device](const Arguments& a) -> VlrRetVal {
                             // Not checked: discovery finds the real port when the operator
                             // connects.
                             device.SetPortNumber(Integer(a[0]));
                             return VLR_SUCCESS;
                         });
    processor.AddCommand(
        DeviceSettingsWords::kSetIntensity, 2, false,
        [&device](const Arguments& a) { return device.SetIntensity(Integer(a[1]), a[0]); });
    processor.AddCommand(DeviceSettingsWords::kSetLEDPulse, 4, false,
                         [&device](const Arguments& a) {
                             PulseParameters pulse;
                             pulse.widthOn = Number(a[1]);
                             pulse.widthOff = Number(a[2]);
                             pulse.loopCount = Integer(a[3]);
                             return device.SetLEDPulse(a[0], pulse);
                         });
    processor.AddCommand(SequenceFileWords::kAddSequenceCommandSet, 2, false,
                         [&sequences](const Arguments& a) {
                             return sequences.AddCommandSet(Integer(a[0]), Integer(a[1]));
                         });
    processor.AddCommand(
        SequenceFileWords::kAddSequence, 2, false,
        [&sequences](const Arguments& a) { return sequences.AddSequence(Integer(a[0]), a[1]); });
    processor.AddCommand(SequenceFileWords::kAddSequenceCommand, 3, false,
                         [&sequences](const Arguments& a) {
                             return sequences.AddCommand(Integer(a[0]), Integer(a[1]), a[2]);
                         });
}
