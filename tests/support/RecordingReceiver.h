#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "foundation/LogLevel.h"
#include "foundation/LogMessageReceiver.h"

// Records every message the log hands to its receiver, as (level, message).
class RecordingReceiver : public LogMessageReceiver {
  public:
    using Message = std::pair<LogLevel, std::wstring>;

    void AddLogMessage(LogLevel level, const std::wstring& message) override {
        messages.emplace_back(level, message);
    }

    // The texts logged at the level, from the message at index first on.
    std::vector<std::wstring> MessagesAt(LogLevel level, std::size_t first = 0) const;
    std::vector<std::wstring> Errors(std::size_t first = 0) const {
        return MessagesAt(LogLevel::Error, first);
    }
    // Every message but those at the level (the device link logs each packet at Data).
    std::vector<Message> Without(LogLevel level) const;
    // Every text on a line of its own, for failure output.
    std::wstring Text() const;

    std::vector<Message> messages;
};

using Messages = std::vector<RecordingReceiver::Message>;
