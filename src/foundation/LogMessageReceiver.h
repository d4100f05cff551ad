#pragma once

#include <string>

#include "foundation/LogLevel.h"

// Receives every message the log writes (the main window's message list, the CLI's stderr echo).
// Called on whichever thread logged, while the log's lock is held, so that receivers see the
// messages in the file's order. An implementation must therefore return quickly and must not
// log, wait for another thread, or touch a window: a window's receiver only queues the message
// for its own thread (a queued signal). Under that rule no thread can wait for the lock while
// holding something the receiver needs, so a worker thread may log freely.
class LogMessageReceiver {
  public:
    virtual ~LogMessageReceiver() = default;
    virtual void AddLogMessage(LogLevel level, const std::wstring& message) = 0;
};
