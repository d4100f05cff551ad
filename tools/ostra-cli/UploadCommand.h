#pragma once

#include "app/SequenceUpload.h"
#include "ostra-cli/CommandContext.h"

// ostra-cli upload, and the upload step of run --upload: the application layer's upload, shown
// as a progress line on a terminal and reported as text lines and JSON.
class UploadCommand {
  public:
    explicit UploadCommand(CommandContext& context) : context_(context) {}

    // Converts every sequence before the device is contacted. ExitCode::kValidation when one
    // cannot be converted or the settings were read incompletely (reported).
    int Prepare();
    // Over the connected device. ExitCode::kDevice when the upload failed (reported).
    int Send();
    // The uploaded sequences and the snapshot, into the JSON report and as text lines.
    void Report();

    CommandOutcome Run();

  private:
    CommandContext& context_;
    SequenceUpload::Result result_;
    bool sent_ = false;
};
