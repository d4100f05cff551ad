#pragma once

#include <filesystem>
#include <optional>

#include "support/ScopedEnvironmentVariable.h"

// While it lives TEMP, APPDATA, HOME and XDG_RUNTIME_DIR (the control socket's place) point into
// the directory and the XDG data and configuration variables are unset: the application touches
// nothing of the real user's.
class PrivateUserEnvironment {
  public:
    explicit PrivateUserEnvironment(const std::filesystem::path& root)
        : variables_{{"TEMP", (root / "temp").string()},
                     {"APPDATA", (root / "appdata").string()},
                     {"XDG_DATA_HOME", std::nullopt},
                     {"XDG_CONFIG_HOME", std::nullopt},
                     {"HOME", (root / "home").string()},
                     {"XDG_RUNTIME_DIR", (root / "runtime").string()}} {}

  private:
    ScopedEnvironmentVariable variables_[6];
};
