#pragma once

#include <string>

// A local calendar time with milliseconds, as the log and the message list show it.
struct LocalTime {
    int year = 0;
    int month = 0;   // 1..12
    int day = 0;     // 1..31
    int hour = 0;    // 0..23
    int minute = 0;  // 0..59
    int second = 0;  // 0..60
    int millisecond = 0;
};

// The current local time of the machine.
LocalTime CurrentLocalTime();

// " HH:MM:SS.mmm": one leading space, two-digit hours, minutes and seconds, three-digit
// milliseconds. Shared by the log lines and the message list's "Timestamp" column.
std::wstring FormatTimeOfDay(const LocalTime& time);

// "YYYY-MM-DD_HH-MM-SS", e.g. "2024-03-07_09-05-00". Names the dated data directory of a run and
// the settings snapshots, so that both sort by time.
std::wstring FormatDateTimeStamp(const LocalTime& time);
