#pragma once

#include <filesystem>
#include <optional>

#include "support/ScopedEnvironmentVariable.h"

// While the object lives TEMP, APPDATA and HOME point into the given directory ("temp",
// "appdata", "home") and the XDG data and configuration variables are unset, so a run of the
// application touches nothing of the real user's.
class PrivateUserEnvironment {
  public:
    explicit PrivateUserEnvironment(const std::filesystem::path& root)
        : temp_("TEMP", (root / "temp").string()),
          appData_("APPDATA", (root / "appdata").string()),
          xdgData_("XDG_DATA_HOME", std::nullopt),
          xdgConfig_("XDG_CONFIG_HOME", std::nullopt),
          home_("HOME", (root / "home").string()) {}

  private:
    ScopedEnvironmentVariable temp_;
    ScopedEnvironmentVariable appData_;
    ScopedEnvironmentVariable xdgData_;
    ScopedEnvironmentVariable xdgConfig_;
    ScopedEnvironmentVariable home_;
};
