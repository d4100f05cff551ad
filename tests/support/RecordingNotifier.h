#pragma once

#include <string>
#include <utility>
#include <vector>

#include "foundation/LogMessageReceiver.h"
#include "foundation/Notifier.h"

// Records every message box the core asks for, as (caption, text).
class RecordingNotifier final : public Notifier {
  public:
    void ShowMessageBox(const std::wstring& caption, const std::wstring& text) override;
    std::vector<std::pair<std::wstring, std::wstring>> boxes;
};

// Records every message the log hands to its receiver, as (level, message).
class RecordingReceiver final : public LogMessageReceiver {
  public:
    void AddLogMessage(LogLevel level, const std::wstring& message) override;
    std::vector<std::pair<LogLevel, std::wstring>> messages;
};
