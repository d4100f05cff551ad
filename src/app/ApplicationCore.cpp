#include "app/ApplicationCore.h"

#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "app/SettingsFileWriter.h"
#include "app/platform/Paths.h"
#include "foundation/Notifier.h"
#include "foundation/TextConversion.h"
#include "foundation/TimeOfDay.h"

using VlrDataTypes::VLR_FAILURE;
using VlrDataTypes::VLR_SUCCESS;
using VlrDataTypes::VlrRetVal;

namespace {

const std::wstring kDataRootName = L"VelorinData";
const std::wstring kProductName = L"Ostra";
const std::wstring kCompanyName = L"Velorin";
const std::wstring kLogFileName = L"OstraLogFile.txt";
const std::wstring kSetupFileName = L"OstraSetup.cfg";
const std::wstring kSettingsFileName = L"OstraSettings.cfg";
const std::wstring kSettingsLockSuffix = L".lock";
// Beside the log of the run whose start-up could not read the settings file completely.
const std::wstring kFailedSettingsCopyName = L"OstraSettings_failed_original.cfg";

const std::wstring kDataDirectoryCaption = L"Data Directory Error";
const std::wstring kConfigurationCaption = L"Configuration Error";
const std::wstring kSettingsInUseCaption = L"Settings In Use";

// A numbered dated directory goes up to "_100"; more starts within one second than that mean
// something else is wrong.
constexpr unsigned kLastDirectorySuffix = 100;

bool IsDirectory(const std::wstring& path) {
    std::error_code error;
    return std::filesystem::is_directory(Paths::ToNativePath(path), error);
}

bool IsRegularFile(const std::wstring& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(Paths::ToNativePath(path), error);
}

}  // namespace

ApplicationCore::ApplicationCore(Notifier& notifier)
    : notifier_(notifier), clock_(CurrentLocalTime), log_(&notifier) {}

void ApplicationCore::SetClock(LogFile::Clock clock) {
    clock_ = clock ? std::move(clock) : LogFile::Clock(CurrentLocalTime);
    log_.SetClock(clock_);
    sequences_.SetClock(clock_);
}

ApplicationCore::StartupResult ApplicationCore::RunStartupSequence() {
    if (programDirectory_.empty()) {
        programDirectory_ = Paths::ExecutableDirectory();
    }
    if (CreateDataDirectories() != VLR_SUCCESS) {
        return StartupResult::DataDirectoryFailed;
    }
    sequences_.SetSettingsDirectory(dataDirectory_);
    OpenLog();
    device_.SetLogFile(&log_);
    device_.SetOutputMaskBit7();
    processor_.Initialize(&log_, &device_, &sequences_);
    if (ReadSetupFile() != VLR_SUCCESS) {
        exitCode_ = kSetupFailureExitCode;
        return StartupResult::SetupFileFailed;
    }
    LinkSequenceModel();
    if (ReadPerUserSettingsFile() != VLR_SUCCESS) {
        exitCode_ = kSetupFailureExitCode;
        return StartupResult::SettingsInUse;
    }
    return StartupResult::Started;
}

VlrRetVal ApplicationCore::CreateDataDirectories() {
    const std::wstring root = Paths::Join(Paths::DataRootBase(), kDataRootName);
    if (CreateDirectoryIfMissing(root) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    const std::wstring product = Paths::Join(root, kProductName);
    if (CreateDirectoryIfMissing(product) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    return CreateDatedDirectory(product);
}

// Missing parents are made too: the user's data directory may not exist yet on a new account.
VlrRetVal ApplicationCore::CreateDirectoryIfMissing(const std::wstring& path) {
    std::error_code error;
    std::filesystem::create_directories(Paths::ToNativePath(path), error);
    if (IsDirectory(path)) {
        return VLR_SUCCESS;
    }
    notifier_.ShowMessageBox(kDataDirectoryCaption, L"Error creating root data directory(" + path +
                                                        L").  Unable to proceed.");
    return VLR_FAILURE;
}

// The directory must be new, so that no two runs share a log or overwrite each other's files.
VlrRetVal ApplicationCore::CreateDatedDirectory(const std::wstring& productDirectory) {
    const std::wstring plain = Paths::Join(productDirectory, FormatDateTimeStamp(clock_()));
    std::wstring candidate = plain;
    for (unsigned suffix = 2;; ++suffix) {
        std::error_code error;
        if (std::filesystem::create_directory(Paths::ToNativePath(candidate), error)) {
            dataDirectory_ = candidate;
            return VLR_SUCCESS;
        }
        // An error other than an existing directory would meet every numbered name as well.
        if (!allowNumberedDataDirectory_ || error || suffix > kLastDirectorySuffix) {
            break;
        }
        candidate = plain + L"_" + std::to_wstring(suffix);
    }
    notifier_.ShowMessageBox(kDataDirectoryCaption,
                             L"Error creating data directory(" + plain + L").  Unable to proceed.");
    return VLR_FAILURE;
}

// A log that cannot be opened has told the operator through the notifier; the run goes on.
void ApplicationCore::OpenLog() {
    log_.SetMessageReceiver(receiver_);
    log_.SetLogFilename(Paths::Join(dataDirectory_, kLogFileName));
}

std::wstring ApplicationCore::GetSetupFilePath() const {
    return Paths::Join(programDirectory_, kSetupFileName);
}

VlrRetVal ApplicationCore::ReadSetupFile() {
    const std::wstring path = GetSetupFilePath();
    if (processor_.ProcessConfigFile(path) == VLR_SUCCESS) {
        return VLR_SUCCESS;
    }
    notifier_.ShowMessageBox(kConfigurationCaption,
                             L"Error, setup file (" + path +
                                 L") could not be found or was invalid.  Unable to start "
                                 L"application, please contact Velorin support");
    return VLR_FAILURE;
}

void ApplicationCore::LinkSequenceModel() {
    sequences_.SetLogFile(&log_);
    sequences_.SetMicroController(&device_);
    std::vector<std::wstring> names;
    device_.GetColorLabels(names);
    sequences_.SetColorLabels(names);
    device_.GetTTLBitNames(names);
    sequences_.SetTTLBitNames(names);
}

VlrRetVal ApplicationCore::ReadPerUserSettingsFile() {
    const std::wstring directory =
        Paths::Join(Paths::Join(Paths::PerUserBase(), kCompanyName), kProductName) +
        Paths::Separator();
    // A directory that cannot be made shows up when the settings are saved.
    std::error_code ignored;
    std::filesystem::create_directories(Paths::ToNativePath(directory), ignored);
    settingsFilePath_ = directory + kSettingsFileName;
    // Before the file is read: what a writer reads is then what it may overwrite.
    if (settingsAccess_ == SettingsAccess::ReadWrite && LockPerUserSettings() != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    if (!IsRegularFile(settingsFilePath_)) {
        log_.WriteMessage(LogLevel::Notice,
                          L"Settings file (" + settingsFilePath_ + L") was not found.");
        return VLR_SUCCESS;
    }
    // What ran before a failing line stays applied; the processor has logged the line.
    if (processor_.ProcessConfigFile(settingsFilePath_) != VLR_SUCCESS) {
        KeepCopyOfFailedSettingsFile();
    }
    settingsAsRead_ = SettingsText();
    return VLR_SUCCESS;
}

// A second writer would save over the first one's changes, or the first over the second's.
VlrRetVal ApplicationCore::LockPerUserSettings() {
    const std::wstring lockFile = settingsFilePath_ + kSettingsLockSuffix;
    switch (settingsLock_.Acquire(Paths::ToNativePath(lockFile))) {
        case SettingsLock::Outcome::Acquired:
            return VLR_SUCCESS;
        case SettingsLock::Outcome::Unavailable:
            log_.WriteMessage(LogLevel::Warning,
                              L"The settings lock (" + lockFile +
                                  L") could not be taken; another Ostra program may save over "
                                  L"the changes of this one.");
            return VLR_SUCCESS;
        case SettingsLock::Outcome::HeldElsewhere:
            break;
    }
    const std::string holder = settingsLock_.Holder();
    mayOverwriteSettingsFile_ = false;
    notifier_.ShowMessageBox(
        kSettingsInUseCaption,
        L"The settings file (" + settingsFilePath_ + L") is in use by " +
            (holder.empty() ? std::wstring(L"another Ostra program") : NarrowToWide(holder)) +
            L".  Close that program, or wait until it ends, and try again.");
    return VLR_FAILURE;
}

// A run that changes the settings overwrites the file, so every line after the failing one
// would be lost; the copy keeps them for the operator to mend. A run that changes nothing leaves
// the file as it is, so the next start reads it, fails and says so again, until the operator
// mends it.
void ApplicationCore::KeepCopyOfFailedSettingsFile() {
    const std::wstring copy = Paths::Join(dataDirectory_, kFailedSettingsCopyName);
    std::error_code error;
    if (std::filesystem::copy_file(Paths::ToNativePath(settingsFilePath_),
                                   Paths::ToNativePath(copy), error)) {
        log_.WriteMessage(LogLevel::Warning, L"Settings file (" + settingsFilePath_ +
                                                 L") could not be read completely; the original is "
                                                 L"kept as " +
                                                 copy + L".");
        return;
    }
    mayOverwriteSettingsFile_ = false;
    log_.WriteMessage(LogLevel::Error, L"Error keeping a copy of settings file (" +
                                           settingsFilePath_ + L") as " + copy +
                                           L".  The file will not be overwritten on exit.");
}

VlrRetVal ApplicationCore::ReadSettingsFile(const std::wstring& path) {
    sequences_.ClearAllSequences();
    return processor_.ProcessConfigFile(path);
}

VlrRetVal ApplicationCore::WriteSettingsFile(const std::wstring& path) {
    return ::WriteSettingsFile(path, device_.GetSettingsSection(), sequences_.GetSettingsText(),
                               &log_);
}

// What a save writes, as wide text.
std::wstring ApplicationCore::SettingsText() {
    return device_.GetSettingsSection() + sequences_.GetSettingsText();
}

bool ApplicationCore::MayRewritePerUserFile() {
    if (settingsFilePath_.empty() || settingsAccess_ != SettingsAccess::ReadWrite ||
        !mayOverwriteSettingsFile_) {
        return false;
    }
    return !settingsAsRead_ || *settingsAsRead_ != SettingsText();
}

VlrRetVal ApplicationCore::ShutDown(SettingsOnShutDown settings) {
    VlrRetVal result = VLR_SUCCESS;
    if (settings == SettingsOnShutDown::Save) {
        if (MayRewritePerUserFile() && WriteSettingsFile(settingsFilePath_) != VLR_SUCCESS) {
            result = VLR_FAILURE;
        }
        if (!dataDirectory_.empty() &&
            WriteSettingsFile(Paths::Join(dataDirectory_, kSettingsFileName)) != VLR_SUCCESS) {
            result = VLR_FAILURE;
        }
    }
    settingsLock_.Release();
    if (log_.IsOpen()) {
        log_.CloseLogFile();
    }
    return result;
}
