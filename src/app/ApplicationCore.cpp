#include "app/ApplicationCore.h"

#include <cerrno>
#include <utility>
#include <vector>

#include "app/DeviceTimeNote.h"
#include "app/ScratchModels.h"
#include "app/SequenceFiles.h"
#include "app/SettingsFileWriter.h"
#include "app/platform/FileReplacement.h"
#include "app/platform/Paths.h"
#include "config/FormatCmdLine.h"
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

// Appended to a refused folder's message: what is wrong, and what the operator can do.
std::wstring FolderAdvice(const PrivateFolder& folder, const std::wstring& variable) {
    return L"  " + NarrowToWide(folder.Problem()) + L"  Set " + variable +
           L" to a folder of your own.";
}

std::string NativeName(const std::wstring& name) {
    return Paths::ToNativePath(name).string();
}

}  // namespace

ApplicationCore::ApplicationCore(Notifier& notifier)
    : notifier_(notifier), clock_(CurrentLocalTime), log_(&notifier) {}

void ApplicationCore::SetClock(LogFile::Clock clock) {
    clock_ = clock ? std::move(clock) : LogFile::Clock(CurrentLocalTime);
    log_.SetClock(clock_);
}

ApplicationCore::StartupResult ApplicationCore::RunStartupSequence() {
    if (programDirectory_.empty()) {
        programDirectory_ = Paths::ExecutableDirectory();
    }
    if (CreateDataDirectories() != VLR_SUCCESS) {
        return StartupResult::DataDirectoryFailed;
    }
    OpenLog();
    ModelWiring::Connect(log_, device_, processor_, sequences_);
    if (ReadSetupFile() != VLR_SUCCESS) {
        exitCode_ = kSetupFailureExitCode;
        return StartupResult::SetupFileFailed;
    }
    LinkSequenceModel();
    if (OpenPerUserFolder() != VLR_SUCCESS) {
        exitCode_ = kSetupFailureExitCode;
        return StartupResult::SettingsFolderUnsafe;
    }
    if (ReadPerUserSettingsFile() != VLR_SUCCESS) {
        exitCode_ = kSetupFailureExitCode;
        return StartupResult::SettingsInUse;
    }
    return StartupResult::Started;
}

// The data root and the product directory are made (or accepted) as private folders under the
// base; a missing base is made too, as on a new account.
VlrRetVal ApplicationCore::CreateDataDirectories() {
    const std::wstring base = Paths::DataRootBase();
    const std::wstring root = Paths::Join(base, kDataRootName);
    const std::wstring product = Paths::Join(root, kProductName);
    PrivateFolder productFolder;
    if (productFolder.Open(Paths::ToNativePath(base),
                           Paths::ToNativePath(Paths::Join(kDataRootName, kProductName)),
                           PrivateFolder::Missing::Create) == PrivateFolder::Outcome::Opened) {
        return CreateDatedDirectory(productFolder, product);
    }
    const bool productFailed = productFolder.FailedPath() == Paths::ToNativePath(product);
    notifier_.ShowMessageBox(kDataDirectoryCaption, L"Error creating root data directory(" +
                                                        (productFailed ? product : root) +
                                                        L").  Unable to proceed." +
                                                        FolderAdvice(productFolder, L"TEMP"));
    return VLR_FAILURE;
}

// The directory must be new, so that no two runs share a log or overwrite each other's files.
// Creating it is the claim: mkdir either makes the name ours or finds it taken, so two runs
// starting together never get the same one, and the numbers go on for as long as names are
// taken. It stays open: the run's files are made through its handle.
VlrRetVal ApplicationCore::CreateDatedDirectory(const PrivateFolder& productFolder,
                                                const std::wstring& productDirectory) {
    const std::wstring plainName = FormatDateTimeStamp(clock_());
    std::wstring name = plainName;
    for (unsigned suffix = 2;; ++suffix) {
        const int error = productFolder.CreateSubfolder(NativeName(name), dataFolder_);
        if (error == 0) {
            dataDirectory_ = Paths::Join(productDirectory, name);
            return VLR_SUCCESS;
        }
        // Only an existing directory (an earlier run) may be passed by; anything else would
        // meet every numbered name as well.
        if (!allowNumberedDataDirectory_ || error != EEXIST) {
            break;
        }
        name = plainName + L"_" + std::to_wstring(suffix);
    }
    notifier_.ShowMessageBox(kDataDirectoryCaption, L"Error creating data directory(" +
                                                        Paths::Join(productDirectory, plainName) +
                                                        L").  Unable to proceed.");
    return VLR_FAILURE;
}

// A log that cannot be opened has told the operator through the notifier; the run goes on.
// The file is made new through the directory's handle first, so the log only ever appends to a
// file of this run.
void ApplicationCore::OpenLog() {
    log_.SetMessageReceiver(receiver_);
    dataFolder_.CreateEmptyFile(NativeName(kLogFileName));
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
    // Asked to end while reading: the file is not at fault.
    if (processor_.WasInterrupted()) {
        return VLR_FAILURE;
    }
    notifier_.ShowMessageBox(kConfigurationCaption,
                             L"Error, setup file (" + path +
                                 L") could not be found or was invalid.  Unable to start "
                                 L"application, please contact Velorin support");
    return VLR_FAILURE;
}

void ApplicationCore::LinkSequenceModel() {
    ModelWiring::HandOverVocabulary(device_, sequences_);
}

// A folder another user could change would let them choose what this run reads and where its
// saves go, so it ends the start. One that cannot be made shows up when the settings are saved.
VlrRetVal ApplicationCore::OpenPerUserFolder() {
    const std::wstring base = Paths::PerUserBase();
    const std::wstring directory =
        Paths::Join(Paths::Join(base, kCompanyName), kProductName) + Paths::Separator();
    settingsFilePath_ = directory + kSettingsFileName;
    PrivateFolder folder;
    const PrivateFolder::Outcome outcome = folder.Open(
        Paths::ToNativePath(base), Paths::ToNativePath(Paths::Join(kCompanyName, kProductName)),
        PrivateFolder::Missing::Create);
    if (outcome != PrivateFolder::Outcome::Unsafe) {
        settingsFolder_ = std::move(folder);
        return VLR_SUCCESS;
    }
    mayOverwriteSettingsFile_ = false;
    notifier_.ShowMessageBox(kDataDirectoryCaption,
                             L"The settings folder (" + directory +
                                 L") is not safe to use.  Unable to proceed." +
                                 FolderAdvice(folder, L"APPDATA"));
    return VLR_FAILURE;
}

VlrRetVal ApplicationCore::ReadPerUserSettingsFile() {
    // Before the file is read: what a writer reads is then what it may overwrite.
    if (settingsAccess_ == SettingsAccess::ReadWrite && LockPerUserSettings() != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    if (!settingsFolder_.HoldsFileOrLink(NativeName(kSettingsFileName))) {
        log_.WriteMessage(LogLevel::Notice,
                          L"Settings file (" + settingsFilePath_ + L") was not found.");
        settingsLastSaved_.Take(device_.GetSettingsSection());
        return VLR_SUCCESS;
    }
    // What ran before a failing line stays applied; the processor has logged the line. Settings
    // read only in part because the program is asked to end must never be saved over the file.
    if (ProcessSettingsFile(settingsFilePath_, &settingsFolder_) != VLR_SUCCESS) {
        if (processor_.WasInterrupted()) {
            mayOverwriteSettingsFile_ = false;
        } else {
            KeepCopyOfFailedSettingsFile();
        }
    }
    settingsAsRead_ = SettingsText();
    settingsLastSaved_.Take(device_.GetSettingsSection());
    return VLR_SUCCESS;
}

// A second writer would save over the first one's changes, or the first over the second's.
VlrRetVal ApplicationCore::LockPerUserSettings() {
    const std::wstring lockFile = settingsFilePath_ + kSettingsLockSuffix;
    switch (settingsLock_.Acquire(settingsFolder_,
                                  NativeName(kSettingsFileName + kSettingsLockSuffix))) {
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
    std::string bytes;
    if (settingsFolder_.ReadFile(NativeName(kSettingsFileName), FormatCmdLine::kMaxFileBytes,
                                 bytes) == 0 &&
        ReplaceFileContentIn(dataFolder_, NativeName(kFailedSettingsCopyName), bytes)) {
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

VlrRetVal ApplicationCore::ReadSettingsFile(const std::wstring& path, const PrivateFolder* folder) {
    sequences_.ClearAllSequences();
    return ProcessSettingsFile(path, folder);
}

VlrRetVal ApplicationCore::ProcessSettingsFile(const std::wstring& path,
                                               const PrivateFolder* folder) {
    incompleteSettings_.reset();
    if (processor_.ProcessConfigFile(path, folder) == VLR_SUCCESS) {
        return VLR_SUCCESS;
    }
    ConfigFileProcessor::FailedLine failure = processor_.LastFailure();
    if (failure.fileName.empty()) {
        failure.fileName = path;
    }
    incompleteSettings_ = failure;
    return VLR_FAILURE;
}

std::wstring ApplicationCore::DescribeIncompleteSettings() const {
    if (!incompleteSettings_) {
        return L"";
    }
    const ConfigFileProcessor::FailedLine& failure = *incompleteSettings_;
    if (failure.lineNumber <= 0) {
        return failure.fileName + L": the settings file could not be read.";
    }
    return failure.fileName + L":" + std::to_wstring(failure.lineNumber) +
           L": the settings file stopped at this line: " + failure.lineText;
}

SequenceUpload::Result ApplicationCore::PrepareUpload() {
    if (incompleteSettings_) {
        SequenceUpload::Result refused;
        refused.status = OperationResult::Failure(
            L"The settings were not read completely, so the sequences may be cut short; nothing "
            L"was uploaded. " +
            DescribeIncompleteSettings());
        log_.WriteMessage(LogLevel::Error, refused.status.Message());
        return refused;
    }
    return SequenceUpload(device_, sequences_, &log_).Prepare();
}

SequenceUpload::Result ApplicationCore::UploadSequences(
    const SequenceUpload::ProgressCallback& progress, const std::atomic<bool>* cancel) {
    SequenceUpload::Result prepared = PrepareUpload();
    if (!prepared.status) {
        return prepared;
    }
    SequenceUpload upload(device_, sequences_, &log_);
    upload.SetSnapshotFolder(&dataFolder_);
    return upload.Upload(GetSnapshotFileName(), progress, cancel);
}

std::wstring ApplicationCore::GetSnapshotFileName() const {
    return Paths::Join(dataDirectory_,
                       L"TrivaneSettings_" + FormatDateTimeStamp(clock_()) + L".cfg");
}

OperationResult ApplicationCore::ImportSequenceFile(std::uint32_t number, const std::wstring& name,
                                                    const std::wstring& path) {
    return SequenceFiles::ImportSequenceFile(sequences_, number, name, path, &log_);
}

OperationResult ApplicationCore::ExportSequenceFile(std::uint32_t number,
                                                    const std::wstring& path) {
    return SequenceFiles::SaveSequenceFile(sequences_, number, path, &log_);
}

OperationResult ApplicationCore::StopSequence() {
    return SequenceRun(device_, sequences_, &log_).Stop();
}

SequenceRun::Result ApplicationCore::RunSequence(std::uint32_t number,
                                                 const SequenceRun::StopWait& waitForStop,
                                                 const SequenceRun::Tick& tick,
                                                 const std::atomic<bool>* leaveRunning,
                                                 const std::wstring& by) {
    SequenceRun run(device_, sequences_, &log_);
    // The run tells its start by its first tick.
    std::optional<LocalTime> start;
    const SequenceRun::Tick recordStart = [&](SequenceRun::Milliseconds elapsed,
                                              SequenceRun::Milliseconds total) {
        const bool first = !start;
        if (first) {
            start = clock_();
        }
        if (tick) {
            tick(elapsed, total);
        }
        if (first && runListener_) {
            double durationMs = 0.0;
            sequences_.GetSequenceDuration(number, durationMs);
            runListener_({number, false, durationMs, false, L""});
        }
    };
    SequenceRun::Result result = run.Run(number, waitForStop, recordStart, leaveRunning);
    LogRunEnd(number, result);
    if (result.started && start) {
        SequenceTimeline::RunTimes times{*start, std::nullopt, result.completed, by};
        if (result.stopRequested) {
            times.stop = clock_();
        }
        result.stimulusRecord = SequenceTimeline::WriteRecord(dataDirectory_, sequences_, device_,
                                                              number, times, &log_);
        if (runListener_) {
            runListener_(
                {number, true, result.durationMs, result.completed, result.stimulusRecord});
        }
    }
    return result;
}

// One line an operator can find among the packets: how the run ended. A failed start or stop
// has logged its error already.
void ApplicationCore::LogRunEnd(std::uint32_t number, const SequenceRun::Result& result) {
    const std::wstring sequence =
        L"Sequence " + std::to_wstring(number) + L" (" + sequences_.GetSequenceName(number) + L")";
    if (result.completed) {
        log_.WriteMessage(LogLevel::Notice, sequence + L" completed.");
    } else if (result.leftRunning && result.started) {
        log_.WriteMessage(LogLevel::Notice, sequence + L" was left running on the device.");
    } else if (result.stopSent && result.started) {
        log_.WriteMessage(LogLevel::Notice, sequence + L" was stopped.");
    }
}

SequenceTimeline::Listing ApplicationCore::ListSequenceTimeline(std::uint32_t number,
                                                                std::uint64_t maxEvents) {
    return SequenceTimeline::List(sequences_, device_, number, maxEvents, &log_);
}

TimelineListing ApplicationCore::PreviewSequenceTimeline(std::uint32_t number,
                                                         std::uint64_t maxEvents) const {
    return ListTimeline(sequences_, number, DeviceTimelineOutputs(device_), maxEvents);
}

std::wstring ApplicationCore::PreviewDeviceNote(std::uint32_t number) const {
    return DeviceTimeNote(sequences_, number);
}

VlrRetVal ApplicationCore::WriteSettingsFile(const std::wstring& path) {
    const std::wstring device = device_.GetSettingsSection();
    const std::wstring sequences = SequenceFiles::SettingsSection(sequences_);
    const VlrRetVal result = ::WriteSettingsFile(path, device, sequences, &log_);
    // What is in a file of the operator's choice is not lost by a crash.
    if (result == VLR_SUCCESS) {
        settingsLastSaved_.Take(device);
    }
    return result;
}

VlrRetVal ApplicationCore::WriteSettingsFileIn(const PrivateFolder& folder) {
    return ::WriteSettingsFile(folder, kSettingsFileName, device_.GetSettingsSection(),
                               SequenceFiles::SettingsSection(sequences_), &log_);
}

// What a save writes, as wide text.
std::wstring ApplicationCore::SettingsText() {
    return device_.GetSettingsSection() + SequenceFiles::SettingsSection(sequences_);
}

bool ApplicationCore::HasUnsavedSettings() {
    return settingsLastSaved_.Differs(device_.GetSettingsSection());
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
        // The per-user file only through its folder's handle, as it was read.
        if (MayRewritePerUserFile() && WriteSettingsFileIn(settingsFolder_) != VLR_SUCCESS) {
            result = VLR_FAILURE;
        }
        if (dataFolder_.IsOpen() && WriteSettingsFileIn(dataFolder_) != VLR_SUCCESS) {
            result = VLR_FAILURE;
        }
    }
    settingsLock_.Release();
    if (log_.IsOpen()) {
        log_.CloseLogFile();
    }
    return result;
}
