#pragma once

#include <string>
#include <vector>

#include "foundation/LogMessageReceiver.h"

// Keeps the Error (and Fatal) messages of a scratch log until they are taken, so that a check
// can give each failing line the reasons logged for it.
class ErrorRecorder final : public LogMessageReceiver {
  public:
    void AddLogMessage(LogLevel level, const std::wstring& message) override;

    // The messages since the last call, oldest first.
    std::vector<std::wstring> Take();

  private:
    std::vector<std::wstring> errors_;
};
