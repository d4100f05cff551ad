#pragma once

#include <string>

// Severity of a log message. The underlying value is part of the log format: a value outside
// the named ones is written as "Unknown", so callers may pass any integer through a cast.
enum class LogLevel : int {
    Fatal = 0,
    Error = 1,
    Warning = 2,
    Notice = 3,
    Data = 4,
    Debug = 5,
};

// The 14-character tag written into the log file, e.g. "-* NOTICE  *- ".
std::wstring LogLevelTag(LogLevel level);

// The name shown in message lists, e.g. "Notice".
std::wstring LogLevelName(LogLevel level);
