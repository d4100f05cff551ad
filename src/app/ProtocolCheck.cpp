#include "app/ProtocolCheck.h"

#include "app/ScratchModels.h"
#include "app/SequenceFiles.h"
#include "device/ScriptCommand.h"
#include "foundation/platform/ExitSignals.h"

using VlrDataTypes::VLR_SUCCESS;

namespace {

// What a line that failed without a logged reason is reported with.
const std::wstring kNoReason = L"The line failed.";

std::vector<std::wstring> ReasonsOrDefault(std::vector<std::wstring> reasons) {
    if (reasons.empty()) {
        reasons.push_back(kNoReason);
    }
    return reasons;
}

}  // namespace

void ProtocolCheck::FileResult::Add(Finding finding) {
    if (findings.size() < kMaxKeptFindings) {
        findings.push_back(std::move(finding));
    }
    ++failureCount;
}

ProtocolCheck::ProtocolCheck(const std::wstring& setupFile,
                             const SequenceContainer& operatorSequences)
    : models_(std::make_unique<ScratchModels>()) {
    models_->ReadSetupFile(setupFile);
    models_->CopySequencesFrom(operatorSequences);
    models_->recorder.Take();
}

ProtocolCheck::~ProtocolCheck() = default;

ProtocolCheck::FileResult ProtocolCheck::CheckFile(const std::wstring& path) {
    FileResult result;
    result.path = path;
    const ConfigFileSurvey survey = ConfigFileSurvey::Of(path);
    result.kind = survey.kind;
    switch (result.kind) {
        case ConfigFileSurvey::Kind::Setup: {
            // A setup file declares the LEDs itself, so it starts from an empty device model.
            ScratchModels fresh;
            ReadInto(fresh, result);
            return result;
        }
        case ConfigFileSurvey::Kind::Sequence:
            ImportSequenceFile(result);
            // Reported under the number the file was saved with, the one its author knows.
            if (!survey.sequenceNumbers.empty()) {
                for (SequenceFact& fact : result.sequences) {
                    fact.number = *survey.sequenceNumbers.begin();
                }
            }
            return result;
        case ConfigFileSurvey::Kind::Settings:
            break;
    }
    models_->sequences.ClearAllSequences();
    ReadInto(*models_, result);
    if (result.Ok()) {
        CheckSequences(models_->sequences.UsedSequenceNumbers(), result);
    }
    return result;
}

void ProtocolCheck::ReadInto(ScratchModels& models, FileResult& result) {
    models.recorder.Take();
    bool lineFailed = false;
    models.processor.SetFailureObserver([&](const ConfigFileProcessor::FailedLine& failure) {
        lineFailed = true;
        result.Add(
            Finding{failure.lineNumber > 0 ? std::optional<int>(failure.lineNumber) : std::nullopt,
                    failure.lineText, ReasonsOrDefault(models.recorder.Take())});
    });
    const bool ok = models.processor.ProcessConfigFile(result.path) == VLR_SUCCESS;
    models.processor.SetFailureObserver(nullptr);
    if (!ok && !lineFailed && !models.processor.WasInterrupted()) {
        // The file itself could not be read.
        result.Add(Finding{std::nullopt, L"", ReasonsOrDefault(models.recorder.Take())});
    }
}

// Imported into the highest free number, as one new sequence: the numbers in the file play no
// part, exactly as in an import.
void ProtocolCheck::ImportSequenceFile(FileResult& result) {
    SequenceContainer& sequences = models_->sequences;
    std::vector<std::uint32_t> free;
    sequences.GetAvailableSequenceNumbers(free);
    if (free.empty()) {
        result.Add(Finding{
            std::nullopt, L"", {L"Every sequence number is in use; nothing can be imported."}});
        return;
    }
    models_->recorder.Take();
    SequenceFiles::ImportFailure failure;
    const OperationResult imported = SequenceFiles::ImportSequenceFile(
        sequences, free.back(), L"(checked)", result.path, &models_->log, &failure);
    if (!imported) {
        std::vector<std::wstring> reasons = models_->recorder.Take();
        if (reasons.empty()) {
            reasons.push_back(failure.reason);
        }
        result.Add(
            Finding{failure.lineNumber > 0 ? std::optional<int>(failure.lineNumber) : std::nullopt,
                    failure.lineText, ReasonsOrDefault(reasons)});
        return;
    }
    CheckSequences({free.back()}, result);
    // Gone again, so that the next sequence file is checked beside the same sequences.
    sequences.RemoveSequence(free.back());
    models_->recorder.Take();
}

// Timing and conversion find what the line checks cannot: a step whose commands cannot share
// one script command, a loop without its end.
void ProtocolCheck::CheckSequences(const std::vector<std::uint32_t>& numbers, FileResult& result) {
    for (const std::uint32_t number : numbers) {
        if (ExitSignals::Pending()) {
            return;
        }
        SequenceFact fact;
        fact.number = number;
        std::vector<std::uint8_t> bytes;
        const bool timed =
            models_->sequences.GetSequenceDuration(number, fact.durationMs) == VLR_SUCCESS;
        const bool converted = models_->device.ConvertToScript(
                                   models_->sequences.GetCommandSets(number), bytes) == VLR_SUCCESS;
        if (!timed || !converted) {
            const std::wstring what = L"sequence " + std::to_wstring(number);
            result.Add(Finding{std::nullopt, what, ReasonsOrDefault(models_->recorder.Take())});
            continue;
        }
        fact.scriptCommands = bytes.size() / ScriptCommand::kSize;
        if (result.kind != ConfigFileSurvey::Kind::Sequence) {
            fact.name = models_->sequences.GetSequenceName(number);
        }
        result.sequences.push_back(fact);
    }
}
