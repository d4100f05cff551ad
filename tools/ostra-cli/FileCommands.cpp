#include "ostra-cli/FileCommands.h"

#include <cstdint>

#include "app/ApplicationCore.h"
#include "foundation/TextConversion.h"
#include "ostra-cli/Console.h"
#include "ostra-cli/ExitCode.h"
#include "ostra-cli/StderrDiagnostics.h"
#include "ostra-cli/TextFormat.h"

using VlrDataTypes::VLR_SUCCESS;

CommandOutcome FileCommands::Import() {
    SequenceContainer& sequences = context_.core.GetSequenceContainer();
    const std::uint32_t number = context_.options.sequence.value_or(0);
    const std::wstring name = NarrowToWide(context_.options.name);
    const std::wstring file = NarrowToWide(context_.options.file);
    if (const OperationResult imported = context_.core.ImportSequenceFile(number, name, file);
        !imported) {
        context_.diagnostics.ReportError(imported.Message());
        return {ExitCode::kValidation, true};
    }
    double duration = 0.0;
    sequences.GetSequenceDuration(number, duration);
    const std::size_t steps = sequences.GetCommandSets(number).size();
    nlohmann::ordered_json& json = context_.console.Json();
    json["number"] = number;
    json["name"] = JsonText(name);
    json["steps"] = steps;
    json["durationMs"] = JsonMilliseconds(duration);
    context_.console.Line(L"Imported sequence " + context_.SequenceTitle(number) + L" from " +
                          file + L": " + std::to_wstring(steps) + L" steps, " +
                          TextFormat::Milliseconds(duration) + L".");
    return {ExitCode::kSuccess, true};
}

CommandOutcome FileCommands::Export() {
    const std::uint32_t number = context_.options.sequence.value_or(0);
    const std::wstring file = NarrowToWide(context_.options.file);
    if (const int failed = context_.RequireSequence(number); failed != ExitCode::kSuccess) {
        return {failed, true};
    }
    if (const OperationResult saved = context_.core.ExportSequenceFile(number, file); !saved) {
        context_.diagnostics.ReportError(saved.Message());
        return {ExitCode::kValidation, true};
    }
    context_.console.Json()["number"] = number;
    context_.console.Json()["file"] = JsonText(file);
    context_.console.Line(L"Exported sequence " + context_.SequenceTitle(number) + L" to " + file +
                          L".");
    return {ExitCode::kSuccess, true};
}

CommandOutcome FileCommands::OpenSettings() {
    const std::wstring file = NarrowToWide(context_.options.file);
    if (context_.core.ReadSettingsFile(file) != VLR_SUCCESS) {
        const ConfigFileProcessor::FailedLine& failure =
            context_.core.GetConfigFileProcessor().LastFailure();
        if (!failure.fileName.empty()) {
            context_.diagnostics.ReportError(
                failure.fileName + L":" + std::to_wstring(failure.lineNumber) +
                L": the file stopped at this line: " + failure.lineText);
        }
        context_.diagnostics.ReportError(L"The settings were not saved.");
        return {ExitCode::kValidation, false};
    }
    context_.console.Json()["file"] = JsonText(file);
    context_.console.Line(L"Opened settings file " + file + L".");
    ReportSequenceCount();
    return {ExitCode::kSuccess, true};
}

CommandOutcome FileCommands::SaveSettings() {
    const std::wstring file = NarrowToWide(context_.options.file);
    if (context_.core.WriteSettingsFile(file) != VLR_SUCCESS) {
        return {ExitCode::kValidation, true};
    }
    context_.console.Json()["file"] = JsonText(file);
    context_.console.Line(L"Saved the settings to " + file + L".");
    ReportSequenceCount();
    return {ExitCode::kSuccess, true};
}

void FileCommands::ReportSequenceCount() {
    const std::size_t count = context_.core.GetSequenceContainer().UsedSequenceNumbers().size();
    context_.console.Json()["sequenceCount"] = count;
    context_.console.Line(std::to_wstring(count) + (count == 1 ? L" sequence." : L" sequences."));
}
