#pragma once

#include <filesystem>
#include <string>

#include "support/TempDir.h"

class ApplicationCore;

// A private world for starting the application core: "TEMP" (the data root), "APPDATA" (the
// per-user settings) and the XDG directories point into a scratch directory while the object
// lives, and the per-user settings file there is the large settings file. The setup file is
// the installation's, copied beside the program by the build.
class StartupEnvironment {
  public:
    StartupEnvironment();
    ~StartupEnvironment();
    StartupEnvironment(const StartupEnvironment&) = delete;
    StartupEnvironment& operator=(const StartupEnvironment&) = delete;

    bool IsReady() const { return ready_; }
    // Empty when the start-up reached ready with every sequence of the settings file;
    // otherwise what went wrong.
    static std::string CheckStarted(ApplicationCore& core, bool started);
    // Removes the data root, so that the next start-up makes its dated directory afresh.
    void ForgetRuns();

  private:
    TempDir home_;
    bool ready_ = false;
};
