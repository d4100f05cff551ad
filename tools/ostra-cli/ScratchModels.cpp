#include "ostra-cli/ScratchModels.h"

#include <cstdint>
#include <vector>

#include "app/SettingsCommands.h"

using VlrDataTypes::VLR_SUCCESS;

ScratchModels::ScratchModels() : device(&log) {
    log.SetMessageReceiver(&recorder);
    device.SetOutputMaskBit7();
    InitializeSettingsProcessor(processor, &log, device, sequences);
    sequences.SetLogFile(&log);
    sequences.SetMicroController(&device);
}

VlrDataTypes::VlrRetVal ScratchModels::ReadSetupFile(const std::wstring& path) {
    const VlrDataTypes::VlrRetVal result = processor.ProcessConfigFile(path);
    std::vector<std::wstring> names;
    device.GetColorLabels(names);
    sequences.SetColorLabels(names);
    device.GetTTLBitNames(names);
    sequences.SetTTLBitNames(names);
    return result;
}

void ScratchModels::CopySequencesFrom(const SequenceContainer& source) {
    std::vector<std::uint32_t> used;
    for (std::uint32_t number = 0; number < SequenceContainer::kSequenceCount; ++number) {
        if (!source.GetSequenceName(number).empty() &&
            sequences.AddSequence(number, source.GetSequenceName(number)) == VLR_SUCCESS) {
            used.push_back(number);
        }
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
