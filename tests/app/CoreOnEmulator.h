#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/ApplicationCore.h"
#include "foundation/TextConversion.h"
#include "support/EmulatedDriver.h"
#include "support/FileBytes.h"
#include "support/PrivateUserEnvironment.h"
#include "support/RecordingNotifier.h"
#include "support/TempDir.h"

// The whole application without a window: ApplicationCores started from the shipped setup file
// in a private TEMP/APPDATA, beside an emulated driver on `port` (started by the test).
class CoreOnEmulator {
  protected:
    static constexpr LocalTime kStartTime{2017, 5, 16, 9, 5, 3, 0};

    explicit CoreOnEmulator(int port) : driver_{dir_.Path() / "ports", port} {
        std::filesystem::create_directories(ProgramPath());
        std::filesystem::copy_file(std::filesystem::path(OSTRA_SOURCE_DIR) / "data/OstraSetup.cfg",
                                   ProgramPath() / "OstraSetup.cfg");
    }

    std::filesystem::path ProgramPath() const { return dir_.Path() / "program"; }
    std::filesystem::path SettingsPath() const {
        return dir_.Path() / "appdata/Velorin/Ostra/OstraSettings.cfg";
    }
    // The per-user settings file the start reads.
    void WriteSettings(const std::string& bytes) const {
        std::filesystem::create_directories(SettingsPath().parent_path());
        WriteFileBytes(SettingsPath(), bytes);
    }

    ApplicationCore::StartupResult Configure(ApplicationCore& core,
                                             const LocalTime& time = kStartTime) {
        core.SetProgramDirectory(NarrowToWide(ProgramPath().string()));
        core.SetClock([time] { return time; });
        core.SetMessageReceiver(&receiver_);
        return core.RunStartupSequence();
    }
    void Start(ApplicationCore& core, const LocalTime& time = kStartTime) {
        ASSERT_EQ(Configure(core, time), ApplicationCore::StartupResult::Started)
            << WideToNarrow(receiver_.Text());
    }

    TempDir dir_;
    PrivateUserEnvironment environment_{dir_.Path()};
    EmulatedDriver driver_;
    RecordingNotifier notifier_;
    RecordingReceiver receiver_;
    ApplicationCore core_{notifier_};
};
