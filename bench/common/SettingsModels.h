#pragma once

#include <memory>
#include <string>

#include "config/ConfigFileProcessor.h"
#include "device/MicroController.h"
#include "foundation/VlrDataTypes.h"
#include "sequences/SequenceContainer.h"

class Notifier;
class TempDir;

class LogFile;

// The models a settings file is read into, wired as the application's start-up wires them:
// the device model with the LEDs of the setup file (Blue, Green, Red), an initialized command
// processor, and the sequence model linked to both with the LEDs' colour labels.
class SettingsModels {
  public:
    // log may be null: then nothing is logged.
    explicit SettingsModels(LogFile* log);
    SettingsModels(const SettingsModels&) = delete;
    SettingsModels& operator=(const SettingsModels&) = delete;

    // False when the LEDs could not be declared.
    bool IsReady() const { return ready_; }
    VlrDataTypes::VlrRetVal ReadSettingsFile(const std::wstring& path) {
        return processor_.ProcessConfigFile(path);
    }

    std::uint32_t CountUsedSequences() const;
    // What a save would write: the device section and then the sequence section.
    std::wstring SettingsText() const;
    const SequenceContainer& Sequences() const { return sequences_; }

  private:
    bool DeclareLEDs();
    void LinkSequenceModel(LogFile* log);

    MicroController device_;
    ConfigFileProcessor processor_;
    SequenceContainer sequences_;
    bool ready_ = false;
};

// A log writing "OstraLogFile.txt" into the directory when logged, none otherwise: what the
// settings-loading benchmarks give their models, with and without the log.
std::unique_ptr<LogFile> BenchmarkLog(bool logged, const TempDir& directory, Notifier& notifier);
