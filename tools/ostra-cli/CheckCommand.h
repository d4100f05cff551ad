#pragma once

#include "app/ProtocolCheck.h"
#include "ostra-cli/CommandContext.h"

// ostra-cli check FILE...: the application layer's check of each file, reported as
// "FILE:LINE: reason" lines (and JSON), the first ProtocolCheck::kMaxKeptFindings of a file in
// full and the rest counted; on success each sequence's duration and script size.
// Nothing touches the device or the operator's settings.
class CheckCommand {
  public:
    explicit CheckCommand(CommandContext& context) : context_(context) {}

    CommandOutcome Run();

  private:
    void Report(const ProtocolCheck::FileResult& result);
    void ShowAndLog(const std::wstring& line);

    CommandContext& context_;
};
