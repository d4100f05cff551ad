#include "ui/MessageLogRows.h"

void MessageLogRows::Append(LogLevel level, const std::wstring& message,
                            const std::wstring& timestamp) {
    if (AppendDropsOldest()) {
        RemoveOldest();
    }
    rows_.push_back({timestamp, LogLevelName(level), message, level == LogLevel::Error});
}
