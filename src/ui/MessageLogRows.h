#pragma once

#include <cstddef>
#include <deque>
#include <string>

#include "foundation/LogLevel.h"

// How much of the log the window's message log shows; each shows what the one before shows,
// and more. The log file always holds everything.
enum class LogFilter {
    ErrorsAndWarnings,  // and Fatal
    Notices,
    Data,  // and anything else (Debug, unknown levels)
};

// The rows of the window's message log: the newest messages the filter shows, at most kMaxRows
// of them. The newest kKeptRows messages are kept whatever the filter, so that a wider filter
// shows them too.
class MessageLogRows {
  public:
    static constexpr std::size_t kMaxRows = 201;
    static constexpr std::size_t kKeptRows = 5000;

    struct Row {
        std::wstring timestamp;  // " HH:MM:SS.mmm"
        std::wstring type;       // the level's name
        std::wstring message;
        // Errors are shown red on white.
        bool error = false;
        LogLevel level = LogLevel::Notice;
    };

    static bool Shows(LogFilter filter, LogLevel level);
    bool Shows(LogLevel level) const { return Shows(filter_, level); }
    LogFilter Filter() const { return filter_; }
    // The shown rows become the newest kept ones the filter shows.
    void SetFilter(LogFilter filter);

    // Whether the next Append of a shown message must drop the oldest shown row first (a view
    // is told of it before).
    bool AppendDropsOldest() const { return shown_.size() >= kMaxRows; }
    void RemoveOldest() { shown_.pop_front(); }
    // Keeps every message; a shown one drops the oldest shown row when the list is full. The
    // timestamp is " HH:MM:SS.mmm".
    void Append(LogLevel level, const std::wstring& message, const std::wstring& timestamp);
    void Clear();

    // The shown rows.
    std::size_t Size() const { return shown_.size(); }
    const Row& At(std::size_t index) const { return shown_[index]; }

  private:
    std::deque<Row> kept_;
    std::deque<Row> shown_;
    LogFilter filter_ = LogFilter::Notices;
};
