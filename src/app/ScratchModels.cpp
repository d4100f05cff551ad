#include "app/ScratchModels.h"

#include <cstdint>
#include <vector>

#include "app/SettingsCommands.h"

using VlrDataTypes::VLR_SUCCESS;

namespace ModelWiring {

void Connect(LogFile& log, MicroController& device, ConfigFileProcessor& processor,
             SequenceContainer& sequences) {
    device.SetLogFile(&log);
    device.SetOutputMaskBit7();
    InitializeSettingsProcessor(processor, &log, device, sequences);
    sequences.SetLogFile(&log);
}

void HandOverVocabulary(const MicroController& device, SequenceContainer& sequences) {
    std::vector<std::wstring> names;
    device.GetColorLabels(names);
    sequences.SetColorLabels(names);
    device.GetTTLBitNames(names);
    sequences.SetTTLBitNames(names);
}

}  // namespace ModelWiring

ScratchModels::ScratchModels() : device(&log) {
    log.SetMessageReceiver(&recorder);
    ModelWiring::Connect(log, device, processor, sequences);
}

VlrDataTypes::VlrRetVal ScratchModels::ReadSetupFile(const std::wstring& path) {
    const VlrDataTypes::VlrRetVal result = processor.ProcessConfigFile(path);
    ModelWiring::HandOverVocabulary(device, sequences);
    return result;
}

void ScratchModels::CopySequencesFrom(const SequenceContainer& source) {
    const std::vector<std::uint32_t> used = source.UsedSequenceNumbers();
    for (const std::uint32_t number : used) {
        sequences.AddSequence(number, source.GetSequenceName(number));
    }
    for (const std::uint32_t number : used) {
        const std::vector<CommandSet>& sets = source.GetCommandSets(number);
        for (std::uint32_t set = 0; set < sets.size(); ++set) {
            sequences.AddCommandSet(number, set);
            for (const std::wstring& command : sets[set]) {
                sequences.AddCommand(number, set, command);
            }
        }
    }
}
