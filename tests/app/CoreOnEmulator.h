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

// The whole application without a window: an ApplicationCore started from the shipped setup
// file in a private TEMP/APPDATA, beside an emulated driver on `port` (started by the test).
class CoreOnEmulator {
  protected:
    explicit CoreOnEmulator(int port) : driver_{dir_.Path() / "ports", port} {}

    // `settings`, if given, is the per-user settings file the start reads.
    void StartCore(const std::string& settings = "") {
        const std::filesystem::path program = dir_.Path() / "program";
        std::filesystem::create_directories(program);
        std::filesystem::copy_file(std::filesystem::path(OSTRA_SOURCE_DIR) / "data/OstraSetup.cfg",
                                   program / "OstraSetup.cfg");
        if (!settings.empty()) {
            const std::filesystem::path user = dir_.Path() / "appdata/Velorin/Ostra";
            std::filesystem::create_directories(user);
            WriteFileBytes(user / "OstraSettings.cfg", settings);
        }
        core_.SetProgramDirectory(NarrowToWide(program.string()));
        core_.SetClock([] { return LocalTime{2017, 5, 16, 9, 5, 3, 0}; });
        core_.SetMessageReceiver(&receiver_);
        ASSERT_EQ(core_.RunStartupSequence(), ApplicationCore::StartupResult::Started)
            << WideToNarrow(receiver_.Text());
    }

    TempDir dir_;
    PrivateUserEnvironment environment_{dir_.Path()};
    EmulatedDriver driver_;
    RecordingNotifier notifier_;
    RecordingReceiver receiver_;
    ApplicationCore core_{notifier_};
};
