#include "common/SettingsModels.h"

#include <vector>

#include "app/SettingsCommands.h"

using VlrDataTypes::VLR_SUCCESS;

SettingsModels::SettingsModels(LogFile* log) {
    device_.SetLogFile(log);
    device_.SetOutputMaskBit7();
    InitializeSettingsProcessor(processor_, log, device_, sequences_);
    ready_ = DeclareLEDs();
    LinkSequenceModel(log);
}

// The lines of the installation's setup file, run through the same processor.
bool SettingsModels::DeclareLEDs() {
    for (const wchar_t* line : {L"-AddLED Blue 12.5", L"-AddLED Green 9.8", L"-AddLED Red 15.0"}) {
        if (processor_.ProcessCommandString(line) != VLR_SUCCESS) {
            return false;
        }
    }
    return true;
}

void SettingsModels::LinkSequenceModel(LogFile* log) {
    sequences_.SetLogFile(log);
    sequences_.SetMicroController(&device_);
    std::vector<std::wstring> names;
    device_.GetColorLabels(names);
    sequences_.SetColorLabels(names);
    device_.GetTTLBitNames(names);
    sequences_.SetTTLBitNames(names);
}

std::uint32_t SettingsModels::CountUsedSequences() const {
    std::uint32_t count = 0;
    for (std::uint32_t number = 0; number < SequenceContainer::kSequenceCount; ++number) {
        count += sequences_.GetSequenceName(number).empty() ? 0 : 1;
    }
    return count;
}

std::wstring SettingsModels::SettingsText() const {
    return device_.GetSettingsSection() + sequences_.GetSettingsText();
}
