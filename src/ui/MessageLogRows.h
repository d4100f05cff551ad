#pragma once

#include <cstddef>
#include <deque>
#include <string>

#include "foundation/LogLevel.h"

// The rows of the window's message log: the newest messages, at most kMaxRows of them.
class MessageLogRows {
  public:
    static constexpr std::size_t kMaxRows = 201;

    struct Row {
        std::wstring timestamp;  // " HH:MM:SS.mmm"
        std::wstring type;       // the level's name
        std::wstring message;
        // Errors are shown red on white.
        bool error = false;
    };

    // Whether the next Append must drop the oldest row first (a view is told of it before).
    bool AppendDropsOldest() const { return rows_.size() >= kMaxRows; }
    void RemoveOldest() { rows_.pop_front(); }
    // Drops the oldest row when the list is full. The timestamp is " HH:MM:SS.mmm".
    void Append(LogLevel level, const std::wstring& message, const std::wstring& timestamp);
    void Clear() { rows_.clear(); }

    std::size_t Size() const { return rows_.size(); }
    const Row& At(std::size_t index) const { return rows_[index]; }

  private:
    std::deque<Row> rows_;
};
