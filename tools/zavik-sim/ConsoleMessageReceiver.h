#pragma once

#include "foundation/LogMessageReceiver.h"

// Shows the log's messages on stderr as "zavik-sim: <message>"; the program keeps no log file.
class ConsoleMessageReceiver final : public LogMessageReceiver {
  public:
    void AddLogMessage(LogLevel level, const std::wstring& message) override;
};
