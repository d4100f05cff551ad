#include "ostra-cli/UploadCommand.h"

#include "app/ApplicationCore.h"
#include "app/Json.h"
#include "ostra-cli/Console.h"
#include "ostra-cli/ExitCode.h"
#include "ostra-cli/StderrDiagnostics.h"

int UploadCommand::Prepare() {
    result_ = context_.core.PrepareUpload();
    if (!result_.status) {
        context_.diagnostics.ReportError(result_.status.Message());
        return ExitCode::kValidation;
    }
    return ExitCode::kSuccess;
}

int UploadCommand::Send() {
    const auto progress = [this](const SequenceUpload::Progress& step) {
        context_.console.Progress(
            L"Uploading sequence " + context_.SequenceTitle(step.sequenceNumber) + L", " +
            std::to_wstring(step.sequenceIndex) + L" of " + std::to_wstring(step.sequenceCount) +
            L": " + std::to_wstring(step.commandsSent) + L" of " +
            std::to_wstring(step.commandCount) + L" script commands");
    };
    result_ = context_.core.UploadSequences(progress);
    context_.console.EndProgress();
    if (!result_.status) {
        context_.diagnostics.ReportError(result_.status.Message());
        return ExitCode::kDevice;
    }
    sent_ = true;
    return ExitCode::kSuccess;
}

void UploadCommand::Report() {
    nlohmann::ordered_json& json = context_.console.Json();
    json["uploaded"] = nlohmann::ordered_json::array();
    if (sent_) {
        const SequenceContainer& sequences = context_.core.GetSequenceContainer();
        for (const SequenceUpload::Entry& entry : result_.sequences) {
            json["uploaded"].push_back({{"number", entry.number},
                                        {"name", JsonText(sequences.GetSequenceName(entry.number))},
                                        {"scriptCommands", entry.scriptCommands}});
        }
    }
    json["snapshot"] = JsonText(sent_ ? result_.snapshotPath : L"");
    if (!sent_) {
        return;
    }
    for (const SequenceUpload::Entry& entry : result_.sequences) {
        context_.console.Line(L"Uploaded sequence " + context_.SequenceTitle(entry.number) + L": " +
                              std::to_wstring(entry.scriptCommands) + L" script commands.");
    }
    context_.console.Line(L"Upload Complete!");
    if (!result_.snapshotPath.empty()) {
        context_.console.Line(L"Settings snapshot: " + result_.snapshotPath);
    }
}

CommandOutcome UploadCommand::Run() {
    int result = Prepare();
    if (result == ExitCode::kSuccess) {
        result = context_.ConnectDevice();
    }
    if (result == ExitCode::kSuccess) {
        result = Send();
    }
    Report();
    return {result, true};
}
