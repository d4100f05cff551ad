#include <string>
#include <vector>

#include "app/SettingsFileWriter.h"
#include "app/platform/FileReplacement.h"
#include "app/platform/Paths.h"
#include "config/FormatCmdLine.h"
#include "device/MicroController.h"
#include "foundation/ArgumentReading.h"
#include "foundation/LogFile.h"
#include "foundation/MiscFunctions.h"
#include "foundation/TextConversion.h"
#include "sequences/SequenceContainer.h"
#include "sequences/SequenceFileWords.h"

using VlrDataTypes::VLR_FAILURE;
using VlrDataTypes::VLR_SUCCESS;
using VlrDataTypes::VlrRetVal;

namespace {

const std::wstring kLineEnd = L"\r\n";
using SequenceFileWords::kAddSequence;
using SequenceFileWords::kAddSequenceCommand;
using SequenceFileWords::kAddSequenceCommandSet;

std::wstring Decimal(std::uint32_t value) {
    return std::to_wstring(value);
}

// The numbers of a line in a file are read as the settings vocabulary reads them: a negative
// value becomes a very large one, which the range checks then reject.
std::uint32_t IntegerArgument(const std::wstring& text) {
    return static_cast<std::uint32_t>(ArgumentReading::ReadInteger(text));
}

}  // namespace

std::wstring SequenceContainer::CommandSetLines(std::uint32_t number) const {
    std::wstring text;
    const std::vector<CommandSet>& sets = slots_[number].CommandSets();
    for (std::uint32_t set = 0; set < sets.size(); ++set) {
        const std::wstring numbers = Decimal(number) + L" " + Decimal(set);
        text += kAddSequenceCommandSet + L" " + numbers + kLineEnd;
        for (const std::wstring& command : sets[set]) {
            text += kAddSequenceCommand + L" " + numbers + L" " +
                    MiscFunctions::AddQuotesToString(command) + kLineEnd;
        }
    }
    return text;
}

std::wstring SequenceContainer::GetSettingsText() const {
    std::wstring text = L"#Sequence Container Settings" + kLineEnd;
    for (std::uint32_t number = 0; number < kSequenceCount; ++number) {
        if (IsUsed(number)) {
            text += kAddSequence + L" " + Decimal(number) + L" " +
                    MiscFunctions::AddQuotesToString(slots_[number].Name()) + kLineEnd;
        }
    }
    text += kLineEnd;
    for (std::uint32_t number = 0; number < kSequenceCount; ++number) {
        if (IsUsed(number)) {
            text += L"#Sequence " + Decimal(number) + L" commands." + kLineEnd;
            text += CommandSetLines(number) + kLineEnd;
        }
    }
    text += kLineEnd;
    return text;
}

VlrRetVal SequenceContainer::SaveSequenceFile(std::uint32_t number,
                                              const std::wstring& fileName) const {
    if (ValidateSequenceNumber(number) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    // Replaced in one step, like a settings file: a failed save keeps the file as it was.
    const std::string bytes = WideToNarrow(CommandSetLines(number) + kLineEnd);
    if (fileName.empty() || !ReplaceFileContent(Paths::ToNativePath(fileName), bytes)) {
        LogError(L"Error creating stimulus sequence command file(" + fileName +
                 L").  File could not be created.");
        return VLR_FAILURE;
    }
    return VLR_SUCCESS;
}

VlrRetVal SequenceContainer::LoadSequenceFile(std::uint32_t number, const std::wstring& name,
                                              const std::wstring& fileName) {
    FormatCmdLine reader;
    reader.SetLogFile(log_);
    reader.SetReturnCommandLines(true);
    if (reader.OpenFileCfg(fileName) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    if (AddSequence(number, name) != VLR_SUCCESS) {
        reader.CloseFile();
        return VLR_FAILURE;
    }
    for (;;) {
        std::wstring line;
        int lineNumber = 0;
        bool endOfFile = false;
        if (reader.GetNextLine(line, lineNumber, endOfFile) != VLR_SUCCESS) {
            return VLR_FAILURE;
        }
        if (endOfFile) {
            reader.CloseFile();
            return VLR_SUCCESS;
        }
        if (LoadSequenceLine(number, line, fileName) != VLR_SUCCESS) {
            return VLR_FAILURE;
        }
    }
}

// Only the steps of a sequence may appear; the first argument of each line, the number the
// sequence had when it was saved, is not used.
VlrRetVal SequenceContainer::LoadSequenceLine(std::uint32_t number, const std::wstring& line,
                                              const std::wstring& fileName) {
    Arguments tokens;
    std::wstring error;
    if (MiscFunctions::ParseCommandString(line, tokens, error) != VLR_SUCCESS) {
        LogError(error);
        return VLR_FAILURE;
    }
    if (tokens.empty()) {
        LogError(L"Error parsing command(" + line + L") arguments when loading a sequence file(" +
                 fileName + L").  The argument count was equal to 0.");
        return VLR_FAILURE;
    }
    const std::wstring& word = tokens.front();
    const std::size_t count = tokens.size() - 1;
    if (CompareNoCase(word, kAddSequenceCommandSet) == 0) {
        if (VerifyArgumentCount(word, count, 2) != VLR_SUCCESS) {
            return VLR_FAILURE;
        }
        return AddCommandSet(number, IntegerArgument(tokens[2]));
    }
    if (CompareNoCase(word, kAddSequenceCommand) == 0) {
        if (VerifyArgumentCount(word, count, 3) != VLR_SUCCESS) {
            return VLR_FAILURE;
        }
        return AddCommand(number, IntegerArgument(tokens[2]), tokens[3]);
    }
    LogError(L"Error loading sequence file, unrecognized command(" + word + L") found.");
    return VLR_FAILURE;
}

VlrRetVal SequenceContainer::UploadSequences() {
    if (device_ == nullptr) {
        LogError(
            L"Error uploading sequences, no device model is linked to the sequence "
            L"container.");
        return VLR_FAILURE;
    }
    for (std::uint32_t number = 0; number < kSequenceCount; ++number) {
        if (IsUsed(number) &&
            device_->UploadSequence(number, slots_[number].CommandSets()) != VLR_SUCCESS) {
            return VLR_FAILURE;
        }
    }
    CreateSettingsFile(GetSnapshotFileName());
    return VLR_SUCCESS;
}

std::wstring SequenceContainer::GetSnapshotFileName() const {
    // The separator is always added, also after a directory that ends in one.
    return settingsDirectory_ + Paths::Separator() + L"TrivaneSettings_" +
           FormatDateTimeStamp(clock_()) + L".cfg";
}

void SequenceContainer::CreateSettingsFile(const std::wstring& fileName) const {
    const std::wstring deviceSection = device_ != nullptr ? device_->GetSettingsSection() : L"";
    WriteSettingsFile(fileName, deviceSection, GetSettingsText(), log_);
}
