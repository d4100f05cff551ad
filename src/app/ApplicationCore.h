#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/OperationResult.h"
#include "app/SequenceRun.h"
#include "app/SequenceTimeline.h"
#include "app/SequenceUpload.h"
#include "app/SettingsBaseline.h"
#include "app/platform/SettingsLock.h"
#include "config/ConfigFileProcessor.h"
#include "device/MicroController.h"
#include "foundation/LogFile.h"
#include "foundation/VlrDataTypes.h"
#include "foundation/platform/PrivateFolder.h"
#include "sequences/SequenceContainer.h"

class LogMessageReceiver;
class Notifier;

// The application without its window: it owns the run's log, the device model, the command
// processor and the sequence model, and runs the start-up sequence, the settings-file
// operations and the shut-down. A front end (the main window, the command-line tool) creates
// one, runs the start-up sequence, wires its pages to the accessors, and calls ShutDown when
// it closes.
//
// Files of a run: the setup file "OstraSetup.cfg" beside the executable, the per-user
// settings file ".../Velorin/Ostra/OstraSettings.cfg", and a new dated data directory
// ".../VelorinData/Ostra/YYYY-MM-DD_HH-MM-SS" holding the log, the settings snapshots and the
// settings the run ended with.
//
// Every folder of these that the run writes into must be the user's own (PrivateFolder): a
// folder that another user could change is refused at start-up with a message that says which
// variable to set, and the files of the data directory are made through its handle.
//
// Threads: the core is not locked. A window runs every operation that talks to the device
// (connect, upload, run, stop, manual commands) on one worker thread, one at a time, and reads
// nothing of the core on its own thread while one runs; progress and completion come back
// through the callbacks, on the worker thread. The log may be written from any thread (see
// LogMessageReceiver).
//
// One program at a time may write the per-user settings: a core started for ReadWrite holds the
// settings lock (a file "OstraSettings.cfg.lock" beside the settings) from before it reads the
// settings until its shut-down, and a second writer is refused at start-up, naming the holder.
// A reader takes no lock and never writes the per-user file. The shut-down rewrites the file
// only when the settings differ from what the start-up read, so a run that changed nothing
// leaves it exactly as it was.
class ApplicationCore {
  public:
    enum class StartupResult {
        Started,
        // The data directories could not be made: there is no log, and the operator can only
        // close the application.
        DataDirectoryFailed,
        // The setup file is missing or invalid: the application must end (GetExitCode).
        SetupFileFailed,
        // Another program holds the settings lock (ReadWrite only): the operator was told which,
        // and the application must end (GetExitCode).
        SettingsInUse,
        // The per-user settings folder could be changed by another user: the operator was told
        // what to set, and the application must end (GetExitCode).
        SettingsFolderUnsafe,
    };

    // Whether this run may change the per-user settings. The window writes; a front end that
    // only looks (the command-line tool's inspect commands) reads.
    enum class SettingsAccess { ReadOnly, ReadWrite };

    // Also after SettingsInUse and SettingsFolderUnsafe.
    static constexpr int kSetupFailureExitCode = 1;

    // The notifier shows the start-up failures and the log's own; it must outlive the core.
    explicit ApplicationCore(Notifier& notifier);

    ApplicationCore(const ApplicationCore&) = delete;
    ApplicationCore& operator=(const ApplicationCore&) = delete;

    // Settings for the start-up sequence; they take effect when it runs.
    //
    // Where the setup file is looked for; by default the executable's directory.
    void SetProgramDirectory(const std::wstring& directory) { programDirectory_ = directory; }
    // The front end's message list; it receives every message from the moment the log opens.
    void SetMessageReceiver(LogMessageReceiver* receiver) { receiver_ = receiver; }
    // The time that names the dated directory, stamps the log lines and names the snapshots.
    void SetClock(LogFile::Clock clock);
    // A front end that may start several times within one second (the command-line tool) lets
    // the dated directory take a suffix "_2", "_3", ... when the plain name exists. Off by
    // default: the window refuses a second start within the same second.
    void SetAllowNumberedDataDirectory(bool allow) { allowNumberedDataDirectory_ = allow; }
    // ReadWrite by default.
    void SetSettingsAccess(SettingsAccess access) { settingsAccess_ = access; }

    // Each failure shows its message box and ends the sequence there.
    StartupResult RunStartupSequence();
    // 1 after a setup-file failure or a refused settings lock, otherwise 0.
    int GetExitCode() const { return exitCode_; }

    // Empties the sequence model and reads the file; LEDs keep what the file does not change.
    // The path is not remembered: the shut-down still saves to the per-user file. -1 when the
    // file could not be read or stopped at a failing line; what ran before that line stays.
    // With a folder, the file is read through its handle (ConfigFileProcessor).
    VlrDataTypes::VlrRetVal ReadSettingsFile(const std::wstring& path,
                                             const PrivateFolder* folder = nullptr);
    // The device section and the sequence section; a failure is logged and answered with -1.
    VlrDataTypes::VlrRetVal WriteSettingsFile(const std::wstring& path);
    // What the shut-down saves. A front end that only looked (the command-line tool's inspect
    // commands) leaves every settings file as it was.
    enum class SettingsOnShutDown { Save, Keep };

    // Saves the settings to the per-user file (a writer whose settings changed, see above) and
    // into the dated data directory, then closes the log and releases the settings lock. Only
    // what the start-up established is written. -1 when a save failed (logged at Error).
    VlrDataTypes::VlrRetVal ShutDown(SettingsOnShutDown settings = SettingsOnShutDown::Save);

    // The settings file whose reading stopped at a failing line (start-up or ReadSettingsFile),
    // naming the file and the line; empty when the last read was complete. An upload refuses
    // to send such a truncated protocol.
    const std::optional<ConfigFileProcessor::FailedLine>& GetIncompleteSettings() const {
        return incompleteSettings_;
    }
    // "FILE:LINE: the settings file stopped at this line: TEXT", or empty.
    std::wstring DescribeIncompleteSettings() const;

    // What an upload would send, converted but not sent: refused while the settings were read
    // incompletely, or when a sequence cannot be converted.
    SequenceUpload::Result PrepareUpload();
    // Every defined sequence converted, then uploaded in ascending order, then a settings
    // snapshot "TrivaneSettings_YYYY-MM-DD_HH-MM-SS.cfg" written into the data directory.
    // Refused while the settings were read incompletely.
    SequenceUpload::Result UploadSequences(
        const SequenceUpload::ProgressCallback& progress = nullptr,
        const std::atomic<bool>* cancel = nullptr);
    // The path the next settings snapshot is written to, from the clock's current time.
    std::wstring GetSnapshotFileName() const;
    // Sequence command files, all or nothing (see SequenceFiles).
    OperationResult ImportSequenceFile(std::uint32_t number, const std::wstring& name,
                                       const std::wstring& path);
    OperationResult ExportSequenceFile(std::uint32_t number, const std::wstring& path);
    // The stop command, then every LED off, over the connected device.
    OperationResult StopSequence();
    // Runs sequence `number` on the connected device (see SequenceRun). A run that started
    // leaves the record of the stimulus it delivered in the data directory,
    // "Stimulus_<N>_YYYY-MM-DD_HH-MM-SS.tsv" (see SequenceTimeline::RecordText), with the clock's
    // time of the start and of a stop; a record that cannot be written is a Warning only. How
    // the run ended is logged as a Notice. `by` names the program that asked for the run
    // ("window", "script (process 4711)"), as the record states it.
    SequenceRun::Result RunSequence(std::uint32_t number, const SequenceRun::StopWait& waitForStop,
                                    const SequenceRun::Tick& tick = nullptr,
                                    const std::atomic<bool>* leaveRunning = nullptr,
                                    const std::wstring& by = L"");

    // What a run started through RunSequence tells while it goes, on the thread that runs it:
    // once at its start and once at its end (a run that never started tells nothing).
    struct RunNotice {
        std::uint32_t number = 0;
        bool ended = false;
        double durationMs = 0.0;
        // At the end: whether it ran its whole duration, and the record written.
        bool completed = false;
        std::wstring stimulusRecord;
    };
    using RunListener = std::function<void(const RunNotice&)>;
    // One listener (a control socket's service); null for none.
    void SetRunListener(RunListener listener) { runListener_ = std::move(listener); }

    // The stimulus timeline of sequence `number` from the device model's LEDs, their stored
    // intensities and its TTL bits, at most maxEvents settings listed, with the script walk's
    // check (see SequenceTimeline::List).
    SequenceTimeline::Listing ListSequenceTimeline(std::uint32_t number, std::uint64_t maxEvents);
    // The same timeline without the script check, for a preview the window draws on its own:
    // nothing is written to the operator's log.
    TimelineListing PreviewSequenceTimeline(std::uint32_t number, std::uint64_t maxEvents) const;
    // Beside the preview, one line on what the device may add to its time (DeviceTimeNote).
    std::wstring PreviewDeviceNote(std::uint32_t number) const;

    LogFile& GetLogFile() { return log_; }
    MicroController& GetMicroController() { return device_; }
    ConfigFileProcessor& GetConfigFileProcessor() { return processor_; }
    SequenceContainer& GetSequenceContainer() { return sequences_; }

    // Without a trailing separator.
    const std::wstring& GetProgramDirectory() const { return programDirectory_; }
    // The setup file in the program directory (read by the start-up, never written).
    std::wstring GetSetupFilePath() const;
    // Empty until the start-up created it.
    const std::wstring& GetDataDirectory() const { return dataDirectory_; }
    // Empty until the start-up fixed it.
    const std::wstring& GetSettingsFilePath() const { return settingsFilePath_; }
    // The folder of the per-user settings, open once the start-up checked it (files beside the
    // settings are made through it).
    const PrivateFolder& GetSettingsFolder() const { return settingsFolder_; }
    // The settings differ from what the per-user file held at start-up (from what the start-up
    // made of nothing, when there was no file) and from what was last saved to a file: a crash
    // now would lose them.
    bool HasUnsavedSettings();

  private:
    void LogRunEnd(std::uint32_t number, const SequenceRun::Result& result);
    VlrDataTypes::VlrRetVal CreateDataDirectories();
    VlrDataTypes::VlrRetVal CreateDatedDirectory(const PrivateFolder& productFolder,
                                                 const std::wstring& productDirectory);
    VlrDataTypes::VlrRetVal OpenPerUserFolder();
    void OpenLog();
    VlrDataTypes::VlrRetVal ReadSetupFile();
    void LinkSequenceModel();
    VlrDataTypes::VlrRetVal ReadPerUserSettingsFile();
    VlrDataTypes::VlrRetVal LockPerUserSettings();
    VlrDataTypes::VlrRetVal ProcessSettingsFile(const std::wstring& path,
                                                const PrivateFolder* folder = nullptr);
    VlrDataTypes::VlrRetVal WriteSettingsFileIn(const PrivateFolder& folder);
    void KeepCopyOfFailedSettingsFile();
    std::wstring SettingsText();
    bool MayRewritePerUserFile();

    Notifier& notifier_;
    LogMessageReceiver* receiver_ = nullptr;
    RunListener runListener_;
    LogFile::Clock clock_;
    bool allowNumberedDataDirectory_ = false;
    SettingsAccess settingsAccess_ = SettingsAccess::ReadWrite;

    LogFile log_;
    MicroController device_;
    ConfigFileProcessor processor_;
    SequenceContainer sequences_;

    std::wstring programDirectory_;
    std::wstring dataDirectory_;
    PrivateFolder dataFolder_;
    std::wstring settingsFilePath_;
    SettingsLock settingsLock_;
    // What the per-user file held when it was read; absent when there was no file.
    std::optional<std::wstring> settingsAsRead_;
    SettingsBaseline settingsLastSaved_{sequences_};
    PrivateFolder settingsFolder_;
    // Cleared when a settings file that failed part-way could not be copied (overwriting it
    // would then lose every line after the failing one), and when another program holds the
    // settings lock.
    bool mayOverwriteSettingsFile_ = true;
    std::optional<ConfigFileProcessor::FailedLine> incompleteSettings_;
    int exitCode_ = 0;
};
