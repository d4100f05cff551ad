#include "common/SettingsModels.h"

#include <vector>

#include "app/ScratchModels.h"
#include "app/SequenceFiles.h"
#include "app/SettingsCommands.h"
#include "foundation/LogFile.h"
#include "support/TempDir.h"

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
    ModelWiring::HandOverVocabulary(device_, sequences_);
}

std::uint32_t SettingsModels::CountUsedSequences() const {
    return static_cast<std::uint32_t>(sequences_.UsedSequenceNumbers().size());
}

std::wstring SettingsModels::SettingsText() const {
    return device_.GetSettingsSection() + SequenceFiles::SettingsSection(sequences_);
}

std::unique_ptr<LogFile> BenchmarkLog(bool logged, const TempDir& directory, Notifier& notifier) {
    if (!logged) {
        return nullptr;
    }
    auto log = std::make_unique<LogFile>(&notifier);
    log->SetLogFilename(directory.File("OstraLogFile"));
    return log;
}
