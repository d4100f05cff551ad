#include "app/PerUserFiles.h"

#include "app/ApplicationCore.h"
#include "app/SequenceFiles.h"
#include "app/SettingsFileWriter.h"
#include "app/platform/FileReplacement.h"
#include "foundation/TextConversion.h"
#include "foundation/platform/PrivateFolder.h"

using VlrDataTypes::VLR_FAILURE;
using VlrDataTypes::VLR_SUCCESS;
using VlrDataTypes::VlrRetVal;

namespace {

// A state file is a few lines; anything larger is not ours.
constexpr std::size_t kStateLimit = 64 * 1024;

}  // namespace

std::wstring PerUserFiles::FindRecoveryCopy() const {
    const PrivateFolder& folder = core_.GetSettingsFolder();
    std::string bytes;
    if (!folder.IsOpen() || folder.ReadFile(kRecoveryName, 1, bytes) != 0) {
        return L"";
    }
    // Byte for byte, as the core's paths are (Paths::ToNativePath).
    return NarrowToWide((folder.Path() / kRecoveryName).string());
}

bool PerUserFiles::OfferRecoveryCopy(
    const std::function<RecoveryChoice(const std::wstring&)>& ask) {
    const std::wstring path = FindRecoveryCopy();
    if (path.empty()) {
        return false;
    }
    const RecoveryChoice choice = ask(path);
    const std::wstring done = choice == RecoveryChoice::Open      ? L"is opened."
                              : choice == RecoveryChoice::Discard ? L"is discarded."
                                                                  : L"is kept for the next start.";
    core_.GetLogFile().WriteMessage(LogLevel::Notice,
                                    L"The recovery copy of the settings (" + path + L") " + done);
    if (choice == RecoveryChoice::Discard) {
        RemoveRecoveryCopy();
    }
    if (choice != RecoveryChoice::Open) {
        return false;
    }
    // The copy stays until a normal close: it holds the only record of these settings.
    core_.ReadSettingsFile(path, &core_.GetSettingsFolder());
    return true;
}

VlrRetVal PerUserFiles::KeepRecoveryCopy() {
    const PrivateFolder& folder = core_.GetSettingsFolder();
    if (!folder.IsOpen()) {
        return VLR_FAILURE;
    }
    if (!core_.HasUnsavedSettings()) {
        RemoveRecoveryCopy();
        return VLR_SUCCESS;
    }
    return WriteSettingsFile(
        folder, NarrowToWide(kRecoveryName), core_.GetMicroController().GetSettingsSection(),
        SequenceFiles::SettingsSection(core_.GetSequenceContainer()), &core_.GetLogFile());
}

void PerUserFiles::RemoveRecoveryCopy() {
    const PrivateFolder& folder = core_.GetSettingsFolder();
    if (folder.IsOpen()) {
        folder.RemoveFile(kRecoveryName);
    }
}

std::string PerUserFiles::ReadState() const {
    const PrivateFolder& folder = core_.GetSettingsFolder();
    std::string bytes;
    if (!folder.IsOpen() || folder.ReadFile(kStateName, kStateLimit, bytes) != 0) {
        return "";
    }
    return bytes;
}

bool PerUserFiles::WriteState(const std::string& bytes) {
    const PrivateFolder& folder = core_.GetSettingsFolder();
    return folder.IsOpen() && ReplaceFileContentIn(folder, kStateName, bytes);
}
