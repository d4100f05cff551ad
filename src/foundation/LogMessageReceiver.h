#pragma once

#include <string>

#include "foundation/LogLevel.h"

// Receives every message the log writes (the main window's message list, the CLI's stderr echo).
// Called while the log's lock is held; an implementation must not log.
class LogMessageReceiver {
  public:
    virtual ~LogMessageReceiver() = default;
    virtual void AddLogMessage(LogLevel level, const std::wstring& message) = 0;
};
