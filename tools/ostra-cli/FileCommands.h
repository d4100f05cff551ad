#pragma once

#include "ostra-cli/CommandContext.h"

// The subcommands that move sequences and settings between the operator's settings and files:
// import and export of one sequence as a stimulus sequence command file, and opening and saving
// a whole settings file, each as the window's menu commands do it.
class FileCommands {
  public:
    explicit FileCommands(CommandContext& context) : context_(context) {}

    CommandOutcome Import();
    CommandOutcome Export();
    // A file that fails part-way is not saved over the operator's settings on exit.
    CommandOutcome OpenSettings();
    CommandOutcome SaveSettings();

  private:
    void ReportSequenceCount();

    CommandContext& context_;
};
