#include "ui/MessageLogRows.h"

bool MessageLogRows::Shows(LogFilter filter, LogLevel level) {
    switch (level) {
        case LogLevel::Fatal:
        case LogLevel::Error:
        case LogLevel::Warning:
            return true;
        case LogLevel::Notice:
            return filter != LogFilter::ErrorsAndWarnings;
        default:
            return filter == LogFilter::Data;
    }
}

void MessageLogRows::SetFilter(LogFilter filter) {
    filter_ = filter;
    shown_.clear();
    for (auto row = kept_.rbegin(); row != kept_.rend() && shown_.size() < kMaxRows; ++row) {
        if (Shows(row->level)) {
            shown_.push_front(*row);
        }
    }
}

void MessageLogRows::Append(LogLevel level, const std::wstring& message,
                            const std::wstring& timestamp) {
    if (kept_.size() >= kKeptRows) {
        kept_.pop_front();
    }
    kept_.push_back({timestamp, LogLevelName(level), message, level == LogLevel::Error, level});
    if (!Shows(level)) {
        return;
    }
    if (AppendDropsOldest()) {
        RemoveOldest();
    }
    shown_.push_back(kept_.back());
}

void MessageLogRows::Clear() {
    kept_.clear();
    shown_.clear();
}
