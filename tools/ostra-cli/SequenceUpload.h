#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ostra-cli/CommandContext.h"

// The upload of every sequence, for the upload and run subcommands. Each sequence is converted
// before the device is contacted, so a sequence that cannot become a script is a validation
// error and nothing is sent; the upload itself is the sequence model's (ascending numbers, a
// settings snapshot at the end).
class SequenceUpload {
  public:
    explicit SequenceUpload(CommandContext& context) : context_(context) {}

    // ExitCode::kValidation when a sequence cannot be converted (reported).
    int Prepare();
    // Over the connected device. ExitCode::kDevice when the upload failed (reported).
    int Send();
    // The uploaded sequences and the snapshot, into the JSON report and as text lines.
    void Report();

  private:
    struct Entry {
        std::uint32_t number = 0;
        std::size_t scriptCommands = 0;
    };

    std::wstring FindSnapshot() const;

    CommandContext& context_;
    std::vector<Entry> entries_;
    bool sent_ = false;
};
