// Settings-file processing into fresh models, linked as the application core links them: a
// device with the three LEDs of the default setup file, the sequence model and an initialized
// command processor. Whatever the file left in the models must come back unchanged when it is
// written as a settings file and read into fresh models again.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "app/SettingsCommands.h"
#include "config/ConfigFileProcessor.h"
#include "device/MicroController.h"
#include "foundation/LogFile.h"
#include "foundation/TextConversion.h"
#include "foundation/VlrDataTypes.h"
#include "sequences/SequenceContainer.h"

using FuzzSupport::Check;
using VlrDataTypes::VLR_SUCCESS;

namespace {

constexpr std::uint32_t kLargestPortNumber = std::numeric_limits<std::int32_t>::max();

struct Models {
    Models() {
        device.SetLogFile(&log);
        device.SetOutputMaskBit7();
        InitializeSettingsProcessor(processor, &log, device, sequences);
        Check(device.AddLED(L"Blue", 12.5) == VLR_SUCCESS &&
                  device.AddLED(L"Green", 9.8) == VLR_SUCCESS &&
                  device.AddLED(L"Red", 15.0) == VLR_SUCCESS,
              "the LEDs of the setup could not be added");
        sequences.SetLogFile(&log);
        sequences.SetMicroController(&device);
        std::vector<std::wstring> names;
        device.GetColorLabels(names);
        sequences.SetColorLabels(names);
        device.GetTTLBitNames(names);
        sequences.SetTTLBitNames(names);
    }

    std::wstring SettingsText() const {
        return device.GetSettingsSection() + sequences.GetSettingsText();
    }

    // Without a file the log still composes every message and time stamp; nothing is written.
    LogFile log;
    MicroController device;
    SequenceContainer sequences;
    ConfigFileProcessor processor;
};

void CheckDurations(const SequenceContainer& sequences) {
    for (std::uint32_t number = 0; number < SequenceContainer::kSequenceCount; ++number) {
        if (sequences.GetSequenceName(number).empty()) {
            continue;
        }
        double duration = 0.0;
        if (sequences.GetSequenceDuration(number, duration) == VLR_SUCCESS) {
            Check(std::isfinite(duration) && duration >= 0.0, "a duration is not a number >= 0");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring path = FuzzSupport::WriteScratchFile("settings.cfg", data, size);
    Models first;
    first.processor.ProcessConfigFile(path);
    CheckDurations(first.sequences);

    // A port number is stored unchecked and written unsigned, but read back as a 32-bit signed
    // number saturates, so one beyond that range comes back as its largest value by rule.
    first.device.SetPortNumber(
        std::min<std::uint32_t>(first.device.GetPortNumber(), kLargestPortNumber));
    const std::wstring written = first.SettingsText();
    const std::string bytes = WideToNarrow(written);
    const std::wstring writtenPath = FuzzSupport::WriteScratchFile(
        "written.cfg", reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    Models second;
    Check(second.processor.ProcessConfigFile(writtenPath) == VLR_SUCCESS,
          "written settings could not be read back");
    Check(second.SettingsText() == written, "written settings read back differently");
    return 0;
}
