#include "foundation/TimeOfDay.h"

#include <chrono>
#include <ctime>
#include <cwchar>

LocalTime CurrentLocalTime() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm parts{};
    localtime_r(&now.tv_sec, &parts);

    LocalTime time;
    time.year = parts.tm_year + 1900;
    time.month = parts.tm_mon + 1;
    time.day = parts.tm_mday;
    time.hour = parts.tm_hour;
    time.minute = parts.tm_min;
    time.second = parts.tm_sec;
    time.millisecond = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::nanoseconds(now.tv_nsec))
            .count());
    return time;
}

std::wstring FormatTimeOfDay(const LocalTime& time) {
    // Large enough for four full-width ints, so no value can overflow it.
    wchar_t text[64];
    std::swprintf(text, sizeof text / sizeof text[0], L" %02d:%02d:%02d.%03d", time.hour,
                  time.minute, time.second, time.millisecond);
    return text;
}

std::wstring FormatDateTimeStamp(const LocalTime& time) {
    wchar_t text[96];
    std::swprintf(text, sizeof text / sizeof text[0], L"%u-%02u-%02u_%02u-%02u-%02u",
                  static_cast<unsigned>(time.year), static_cast<unsigned>(time.month),
                  static_cast<unsigned>(time.day), static_cast<unsigned>(time.hour),
                  static_cast<unsigned>(time.minute), static_cast<unsigned>(time.second));
    return text;
}
