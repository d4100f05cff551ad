#include "ostra-cli/CheckCommand.h"

#include "app/ApplicationCore.h"
#include "foundation/TextConversion.h"
#include "ostra-cli/Console.h"
#include "ostra-cli/ExitCode.h"
#include "ostra-cli/ScratchModels.h"
#include "ostra-cli/SequenceScripts.h"
#include "ostra-cli/TextFormat.h"

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

CheckCommand::CheckCommand(CommandContext& context) : context_(context) {}

CheckCommand::~CheckCommand() = default;

CommandOutcome CheckCommand::Run() {
    // Sequence files are imported beside the operator's sequences, so their calls resolve
    // against those; a settings file replaces them all.
    models_ = std::make_unique<ScratchModels>();
    models_->ReadSetupFile(context_.core.GetSetupFilePath());
    models_->CopySequencesFrom(context_.core.GetSequenceContainer());
    models_->recorder.Take();

    bool failed = false;
    context_.console.Json()["files"] = nlohmann::ordered_json::array();
    for (const std::string& file : context_.options.files) {
        const FileResult result = CheckFile(NarrowToWide(file));
        failed = failed || !result.findings.empty();
        Report(result);
    }
    return {failed ? ExitCode::kValidation : ExitCode::kSuccess, false};
}

CheckCommand::FileResult CheckCommand::CheckFile(const std::wstring& path) {
    FileResult result;
    result.path = path;
    const ConfigFileSurvey survey = ConfigFileSurvey::Of(path);
    result.kind = survey.kind;
    if (survey.kind == ConfigFileSurvey::Kind::Setup) {
        // A setup file declares the LEDs itself, so it starts from an empty device model.
        ScratchModels fresh;
        ReadInto(fresh, result);
        return result;
    }
    if (survey.kind == ConfigFileSurvey::Kind::Settings) {
        models_->sequences.ClearAllSequences();
    } else {
        PrepareSequenceFile(survey, result);
    }
    ReadInto(*models_, result);
    if (result.findings.empty()) {
        CheckSequences(DefinedSequences(result, survey), result);
    }
    return result;
}

void CheckCommand::ReadInto(ScratchModels& models, FileResult& result) {
    models.recorder.Take();
    bool lineFailed = false;
    models.processor.SetFailureObserver([&](const ConfigFileProcessor::FailedLine& failure) {
        lineFailed = true;
        result.findings.push_back(
            Finding{failure.lineNumber > 0 ? std::optional<int>(failure.lineNumber) : std::nullopt,
                    failure.lineText, ReasonsOrDefault(models.recorder.Take())});
    });
    const bool ok = models.processor.ProcessConfigFile(result.path) == VLR_SUCCESS;
    models.processor.SetFailureObserver(nullptr);
    if (!ok && !lineFailed) {
        // The file itself could not be read.
        result.findings.push_back(
            Finding{std::nullopt, L"", ReasonsOrDefault(models.recorder.Take())});
    }
}

// The file's lines name the number the sequence had when it was saved, while an import defines
// the number the operator chooses and its calls reach the operator's sequences. So the check
// defines the file's number afresh, after moving an operator's sequence of that number (calls
// of it follow) to a number the file does not use.
void CheckCommand::PrepareSequenceFile(const ConfigFileSurvey& survey, FileResult& result) {
    SequenceContainer& sequences = models_->sequences;
    std::vector<std::uint32_t> free;
    sequences.GetAvailableSequenceNumbers(free);
    std::erase_if(free, [&](std::uint32_t n) { return survey.sequenceNumbers.contains(n); });
    for (const std::uint32_t number : survey.sequenceNumbers) {
        bool prepared = true;
        if (!sequences.GetSequenceName(number).empty()) {
            prepared =
                !free.empty() && sequences.ModifySequenceNumber(number, free.back()) == VLR_SUCCESS;
            if (!free.empty()) {
                free.pop_back();
            }
        }
        const std::wstring name =
            L"(checked " + result.path + L" " + std::to_wstring(number) + L")";
        prepared = prepared && sequences.AddSequence(number, name) == VLR_SUCCESS;
        if (!prepared) {
            result.findings.push_back(
                Finding{std::nullopt, L"", ReasonsOrDefault(models_->recorder.Take())});
        }
    }
}

std::vector<std::uint32_t> CheckCommand::DefinedSequences(const FileResult& result,
                                                          const ConfigFileSurvey& survey) const {
    if (result.kind == ConfigFileSurvey::Kind::Sequence) {
        return {survey.sequenceNumbers.begin(), survey.sequenceNumbers.end()};
    }
    std::vector<std::uint32_t> numbers;
    for (std::uint32_t number = 0; number < SequenceContainer::kSequenceCount; ++number) {
        if (!models_->sequences.GetSequenceName(number).empty()) {
            numbers.push_back(number);
        }
    }
    return numbers;
}

// Timing and conversion find what the line checks cannot: a step whose commands cannot share
// one script command, a loop without its end.
void CheckCommand::CheckSequences(const std::vector<std::uint32_t>& numbers, FileResult& result) {
    SequenceScripts scripts(models_->device, &models_->log);
    for (const std::uint32_t number : numbers) {
        SequenceFact fact;
        fact.number = number;
        std::vector<std::uint8_t> bytes;
        const bool timed =
            models_->sequences.GetSequenceDuration(number, fact.durationMs) == VLR_SUCCESS;
        const bool converted =
            scripts.Convert(models_->sequences.GetCommandSets(number), bytes) == VLR_SUCCESS;
        if (!timed || !converted) {
            const std::wstring what = L"sequence " + std::to_wstring(number);
            result.findings.push_back(
                Finding{std::nullopt, what, ReasonsOrDefault(models_->recorder.Take())});
            continue;
        }
        fact.scriptCommands = bytes.size() / ScriptCommand::kSize;
        // The names a sequence file is checked under are the check's own.
        if (result.kind != ConfigFileSurvey::Kind::Sequence) {
            fact.name = models_->sequences.GetSequenceName(number);
        }
        result.sequences.push_back(fact);
    }
}

void CheckCommand::Report(const FileResult& result) {
    Console& console = context_.console;
    nlohmann::ordered_json json;
    json["file"] = JsonText(result.path);
    json["kind"] = JsonText(KindName(result.kind));
    json["ok"] = result.findings.empty();
    json["failures"] = nlohmann::ordered_json::array();
    for (const Finding& finding : result.findings) {
        const std::wstring where = finding.lineNumber
                                       ? result.path + L":" + std::to_wstring(*finding.lineNumber)
                                       : result.path;
        const std::wstring subject =
            !finding.lineNumber && !finding.lineText.empty() ? finding.lineText + L": " : L"";
        for (const std::wstring& reason : finding.reasons) {
            const std::wstring line = where + L": " + subject + reason;
            console.Line(line);
            // Kept in the run's log as well, below Warning: the report above already shows it.
            context_.core.GetLogFile().WriteMessage(LogLevel::Notice, L"Check: " + line);
        }
        nlohmann::ordered_json failure;
        failure["line"] =
            finding.lineNumber ? nlohmann::ordered_json(*finding.lineNumber) : nullptr;
        failure["text"] = JsonText(finding.lineText);
        failure["reasons"] = nlohmann::ordered_json::array();
        for (const std::wstring& reason : finding.reasons) {
            failure["reasons"].push_back(JsonText(reason));
        }
        json["failures"].push_back(failure);
    }
    json["sequences"] = nlohmann::ordered_json::array();
    for (const SequenceFact& fact : result.sequences) {
        nlohmann::ordered_json sequence;
        sequence["number"] = fact.number;
        sequence["name"] = JsonText(fact.name);
        sequence["durationMs"] = JsonMilliseconds(fact.durationMs);
        sequence["scriptCommands"] = fact.scriptCommands;
        json["sequences"].push_back(sequence);
    }
    console.Json()["files"].push_back(json);
    if (!result.findings.empty()) {
        console.Line(result.path + L": " + std::to_wstring(result.findings.size()) +
                     (result.findings.size() == 1 ? L" failure" : L" failures"));
        return;
    }
    console.Line(result.path + L": " + KindName(result.kind) + L" file OK");
    for (const SequenceFact& fact : result.sequences) {
        const std::wstring name = fact.name.empty() ? L"" : L" (" + fact.name + L")";
        console.Line(L"  sequence " + std::to_wstring(fact.number) + name + L": " +
                     TextFormat::Milliseconds(fact.durationMs) + L", " +
                     std::to_wstring(fact.scriptCommands) + L" script commands");
    }
}
