#include "ostra-cli/CheckCommand.h"

#include "app/ApplicationCore.h"
#include "foundation/TextConversion.h"
#include "ostra-cli/Console.h"
#include "ostra-cli/ExitCode.h"
#include "ostra-cli/TextFormat.h"

CommandOutcome CheckCommand::Run() {
    ProtocolCheck check(context_.core.GetSetupFilePath(), context_.core.GetSequenceContainer());
    bool failed = false;
    context_.console.Json().Key("files").BeginArray();
    for (const std::string& file : context_.options.files) {
        const ProtocolCheck::FileResult result = check.CheckFile(NarrowToWide(file));
        failed = failed || !result.Ok();
        Report(result);
    }
    context_.console.Json().EndArray();
    return {failed ? ExitCode::kValidation : ExitCode::kSuccess, false};
}

void CheckCommand::Report(const ProtocolCheck::FileResult& result) {
    Console& console = context_.console;
    JsonWriter& json = console.Json();
    json.BeginObject();
    json.Key("file").String(result.path);
    json.Key("kind").String(KindName(result.kind));
    json.Key("ok").Boolean(result.findings.empty());
    json.Key("failures").BeginArray();
    for (const ProtocolCheck::Finding& finding : result.findings) {
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
        json.BeginObject();
        json.Key("line");
        if (finding.lineNumber) {
            json.Integer(*finding.lineNumber);
        } else {
            json.Null();
        }
        json.Key("text").String(finding.lineText);
        json.Key("reasons").BeginArray();
        for (const std::wstring& reason : finding.reasons) {
            json.String(reason);
        }
        json.EndArray().EndObject();
    }
    json.EndArray();
    json.Key("sequences").BeginArray();
    for (const ProtocolCheck::SequenceFact& fact : result.sequences) {
        json.BeginObject();
        json.Key("number").Unsigned(fact.number);
        json.Key("name").String(fact.name);
        json.Key("durationMs").Number(fact.durationMs);
        json.Key("scriptCommands").Unsigned(fact.scriptCommands);
        json.EndObject();
    }
    json.EndArray();
    json.EndObject();
    if (!result.findings.empty()) {
        console.Line(result.path + L": " + std::to_wstring(result.findings.size()) +
                     (result.findings.size() == 1 ? L" failure" : L" failures"));
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
