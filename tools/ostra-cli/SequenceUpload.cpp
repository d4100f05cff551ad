#include "ostra-cli/SequenceUpload.h"

#include <filesystem>
#include <system_error>

#include "app/ApplicationCore.h"
#include "app/platform/Paths.h"
#include "foundation/TextConversion.h"
#include "ostra-cli/Console.h"
#include "ostra-cli/ExitCode.h"
#include "ostra-cli/SequenceScripts.h"
#include "ostra-cli/StderrDiagnostics.h"
#include "ostra-cli/UploadProgress.h"

using VlrDataTypes::VLR_SUCCESS;

namespace {

const std::wstring kSnapshotPrefix = L"TrivaneSettings_";
const std::wstring kUploadFailed =
    L"Error uploading sequences.  Please revise your sequences and try again.";

}  // namespace

int SequenceUpload::Prepare() {
    SequenceContainer& sequences = context_.core.GetSequenceContainer();
    SequenceScripts scripts(context_.core.GetMicroController(), &context_.core.GetLogFile());
    for (std::uint32_t number = 0; number < SequenceContainer::kSequenceCount; ++number) {
        if (sequences.GetSequenceName(number).empty()) {
            continue;
        }
        std::vector<std::uint8_t> bytes;
        if (scripts.Convert(sequences.GetCommandSets(number), bytes) != VLR_SUCCESS) {
            context_.diagnostics.ReportError(L"Sequence " + context_.SequenceTitle(number) +
                                             L" cannot be converted to script commands; nothing "
                                             L"was uploaded.");
            return ExitCode::kValidation;
        }
        entries_.push_back(Entry{number, bytes.size() / ScriptCommand::kSize});
    }
    return ExitCode::kSuccess;
}

int SequenceUpload::Send() {
    SequenceContainer& sequences = context_.core.GetSequenceContainer();
    UploadProgress progress(context_.console, sequences, entries_.size());
    context_.diagnostics.SetListener(&progress);
    const bool uploaded = sequences.UploadSequences() == VLR_SUCCESS;
    context_.diagnostics.SetListener(nullptr);
    context_.console.EndProgress();
    if (!uploaded) {
        context_.diagnostics.ReportError(kUploadFailed);
        return ExitCode::kDevice;
    }
    sent_ = true;
    return ExitCode::kSuccess;
}

void SequenceUpload::Report() {
    SequenceContainer& sequences = context_.core.GetSequenceContainer();
    nlohmann::ordered_json& json = context_.console.Json();
    json["uploaded"] = nlohmann::ordered_json::array();
    if (sent_) {
        for (const Entry& entry : entries_) {
            json["uploaded"].push_back({{"number", entry.number},
                                        {"name", JsonText(sequences.GetSequenceName(entry.number))},
                                        {"scriptCommands", entry.scriptCommands}});
        }
    }
    const std::wstring snapshot = sent_ ? FindSnapshot() : L"";
    json["snapshot"] = JsonText(snapshot);
    if (!sent_) {
        return;
    }
    for (const Entry& entry : entries_) {
        context_.console.Line(L"Uploaded sequence " + context_.SequenceTitle(entry.number) + L": " +
                              std::to_wstring(entry.scriptCommands) + L" script commands.");
    }
    context_.console.Line(L"Upload Complete!");
    if (!snapshot.empty()) {
        context_.console.Line(L"Settings snapshot: " + snapshot);
    }
}

// The newest snapshot of this run's data directory: their names sort by time.
std::wstring SequenceUpload::FindSnapshot() const {
    const std::wstring& directory = context_.core.GetDataDirectory();
    std::wstring newest;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(WideToPath(directory), error)) {
        const std::wstring name = PathToWide(entry.path().filename());
        if (name.starts_with(kSnapshotPrefix) && name > newest) {
            newest = name;
        }
    }
    return newest.empty() ? newest : Paths::Join(directory, newest);
}
