#include "ostra-cli/CheckCommand.h"

#include "app/ApplicationCore.h"
#include "foundation/TextConversion.h"
#include "foundation/platform/ExitSignals.h"
#include "ostra-cli/Console.h"
#include "ostra-cli/ExitCode.h"
#include "ostra-cli/TextFormat.h"

CommandOutcome CheckCommand::Run() {
    ProtocolCheck check(context_.core.GetSetupFilePath(), context_.core.GetSequenceContainer());
    bool failed = false;
    context_.console.Json()["files"] = nlohmann::ordered_json::array();
    for (const std::string& file : context_.options.files) {
        const ProtocolCheck::FileResult result = check.CheckFile(NarrowToWide(file));
        // Asked to end: the file was not checked to its end, so there is nothing to report.
        if (ExitSignals::Pending()) {
            return {ExitCode::kInterrupted, false};
        }
        failed = failed || !result.Ok();
        Report(result);
    }
    return {failed ? ExitCode::kValidation : ExitCode::kSuccess, false};
}

void CheckCommand::ShowAndLog(const std::wstring& line) {
    context_.console.Line(line);
    // Kept in the run's log as well, below Warning: the report already shows it.
    context_.core.GetLogFile().WriteMessage(LogLevel::Notice, L"Check: " + line);
}

void CheckCommand::Report(const ProtocolCheck::FileResult& result) {
    Console& console = context_.console;
    nlohmann::ordered_json json;
    json["file"] = JsonText(result.path);
    json["kind"] = JsonText(KindName(result.kind));
    json["ok"] = result.Ok();
    json["failureCount"] = result.failureCount;
    json["failures"] = nlohmann::ordered_json::array();
    for (const ProtocolCheck::Finding& finding : result.findings) {
        const std::wstring where = finding.lineNumber
                                       ? result.path + L":" + std::to_wstring(*finding.lineNumber)
                                       : result.path;
        const std::wstring subject =
            !finding.lineNumber && !finding.lineText.empty() ? finding.lineText + L": " : L"";
        for (const std::wstring& reason : finding.reasons) {
            ShowAndLog(where + L": " + subject + reason);
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
    for (const ProtocolCheck::SequenceFact& fact : result.sequences) {
        nlohmann::ordered_json sequence;
        sequence["number"] = fact.number;
        sequence["name"] = JsonText(fact.name);
        sequence["durationMs"] = JsonMilliseconds(fact.durationMs);
        sequence["scriptCommands"] = fact.scriptCommands;
        json["sequences"].push_back(sequence);
    }
    console.Json()["files"].push_back(json);
    if (!result.Ok()) {
        if (result.failureCount > result.findings.size()) {
            ShowAndLog(result.path + L": the other " +
                       std::to_wstring(result.failureCount - result.findings.size()) +
                       L" failures are only counted");
        }
        console.Line(result.path + L": " + std::to_wstring(result.failureCount) +
                     (result.failureCount == 1 ? L" failure" : L" failures"));
        return;
    }
    console.Line(result.path + L": " + KindName(result.kind) + L" file OK");
    for (const ProtocolCheck::SequenceFact& fact : result.sequences) {
        const std::wstring name = fact.name.empty() ? L"" : L" (" + fact.name + L")";
        console.Line(L"  sequence " + std::to_wstring(fact.number) + name + L": " +
                     TextFormat::Milliseconds(fact.durationMs) + L", " +
                     std::to_wstring(fact.scriptCommands) + L" script commands");
    }
}
