#include "common/StartupEnvironment.h"

#include <cstdlib>
#include <system_error>

#include "app/ApplicationCore.h"
#include "common/LargeSettingsFile.h"
#include "foundation/TextConversion.h"

namespace {

const char* const kVariables[] = {"TEMP", "APPDATA", "XDG_CONFIG_HOME", "XDG_DATA_HOME"};

}  // namespace

StartupEnvironment::StartupEnvironment() {
    for (const char* variable : kVariables) {
        setenv(variable, (home_.Path() / variable).c_str(), 1);
    }
    const std::filesystem::path settings = home_.Path() / "APPDATA" / "Velorin" / "Ostra";
    std::error_code error;
    std::filesystem::create_directories(settings, error);
    std::filesystem::create_directories(home_.Path() / "TEMP", error);
    ready_ = !error && LargeSettingsFile::Write(settings / "OstraSettings.cfg");
}

StartupEnvironment::~StartupEnvironment() {
    for (const char* variable : kVariables) {
        unsetenv(variable);
    }
}

std::string StartupEnvironment::CheckStarted(ApplicationCore& core, bool started) {
    if (!started) {
        return "the start-up did not reach ready";
    }
    const SequenceContainer& sequences = core.GetSequenceContainer();
    for (std::uint32_t number = 0; number < LargeSettingsFile::kSequenceCount; ++number) {
        if (sequences.GetSequenceName(number) != LargeSettingsFile::SequenceName(number) ||
            sequences.GetCommandSets(number).size() != LargeSettingsFile::kCommandSetCount) {
            return "the settings file was not read completely";
        }
    }
    return std::string();
}

void StartupEnvironment::ForgetRuns() {
    std::error_code ignored;
    std::filesystem::remove_all(home_.Path() / "TEMP" / "VelorinData", ignored);
}
