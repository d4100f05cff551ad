#include "app/SequenceUpload.h"

#include "app/SequenceFiles.h"
#include "app/SettingsFileWriter.h"
#include "device/MicroController.h"
#include "device/ScriptCommand.h"
#include "foundation/LogFile.h"
#include "foundation/TextConversion.h"
#include "sequences/SequenceContainer.h"

using VlrDataTypes::VLR_SUCCESS;

namespace {

const std::wstring kUploadFailed =
    L"Error uploading sequences.  Please revise your sequences and try again.";

}  // namespace

SequenceUpload::SequenceUpload(MicroController& device, const SequenceContainer& sequences,
                               LogFile* log)
    : device_(device), sequences_(sequences), log_(log) {}

std::wstring SequenceUpload::ConversionRefusal(std::uint32_t number, const std::wstring& name) {
    return L"Sequence " + std::to_wstring(number) + L" (" + name +
           L") cannot be converted to script commands; nothing was uploaded.";
}

SequenceUpload::Result SequenceUpload::Prepare() const {
    Result result;
    for (const std::uint32_t number : sequences_.UsedSequenceNumbers()) {
        std::vector<std::uint8_t> bytes;
        if (device_.ConvertToScript(sequences_.GetCommandSets(number), bytes) != VLR_SUCCESS) {
            // The conversion has logged why.
            result.status = OperationResult::Failure(
                ConversionRefusal(number, sequences_.GetSequenceName(number)));
            result.sequences.clear();
            return result;
        }
        result.sequences.push_back(Entry{number, bytes.size() / ScriptCommand::kSize});
    }
    return result;
}

SequenceUpload::Result SequenceUpload::Upload(const std::wstring& snapshotPath,
                                              const ProgressCallback& progress,
                                              const std::atomic<bool>* cancel) {
    Result result = Prepare();
    if (!result.status) {
        return result;
    }
    const auto cancelled = [cancel] { return cancel != nullptr && cancel->load(); };
    for (std::size_t index = 0; index < result.sequences.size(); ++index) {
        const Entry& entry = result.sequences[index];
        Progress step{index + 1, result.sequences.size(), entry.number, 0, entry.scriptCommands};
        if (progress) {
            progress(step);
        }
        const auto onCommand = [&](std::uint32_t sent, std::uint32_t total) {
            step.commandsSent = sent;
            step.commandCount = total;
            // None sent was told before the sequence began.
            if (progress && sent > 0) {
                progress(step);
            }
            return !cancelled();
        };
        // A cancel before the sequence's upload began is logged here; after, the device says it.
        const bool cancelledBefore = cancelled();
        const bool sent =
            !cancelledBefore &&
            device_.UploadSequence(entry.number, sequences_.GetCommandSets(entry.number),
                                   onCommand) == VLR_SUCCESS;
        if (!sent) {
            result.cancelled = cancelled();
            result.status = OperationResult::Failure(
                result.cancelled ? L"The upload was cancelled; the device's copy of the sequences "
                                   L"is out of date."
                                 : kUploadFailed);
            if (cancelledBefore && log_ != nullptr) {
                log_->WriteMessage(LogLevel::Warning, result.status.Message());
            }
            result.sequences.resize(index);
            return result;
        }
    }
    if (!snapshotPath.empty() && WriteSnapshot(snapshotPath)) {
        result.snapshotPath = snapshotPath;
    }
    return result;
}

bool SequenceUpload::WriteSnapshot(const std::wstring& snapshotPath) const {
    const std::wstring deviceSection = device_.GetSettingsSection();
    const std::wstring sequenceSection = SequenceFiles::SettingsSection(sequences_);
    if (snapshotFolder_ == nullptr) {
        return WriteSettingsFile(snapshotPath, deviceSection, sequenceSection, log_) == VLR_SUCCESS;
    }
    const std::wstring name = PathToWide(WideToPath(snapshotPath).filename());
    return WriteSettingsFile(*snapshotFolder_, name, deviceSection, sequenceSection, log_) ==
           VLR_SUCCESS;
}
