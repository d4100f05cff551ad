#include <gtest/gtest.h>

#include <climits>
#include <ctime>
#include <string>
#include <tuple>

#include "foundation/TimeOfDay.h"

namespace {

// Fixed width with one leading space; values out of range do not overflow.
TEST(TimeOfDayFormat, PadsToFixedWidthWithOneLeadingSpace) {
    EXPECT_EQ(FormatTimeOfDay({2024, 3, 7, 9, 5, 3, 7}), L" 09:05:03.007");
    EXPECT_EQ(FormatTimeOfDay({0, 0, 0, INT_MIN, INT_MAX, INT_MIN, INT_MAX}),
              L" -2147483648:2147483647:-2147483648.2147483647");
}

TEST(CurrentLocalTime, AgreesWithTheSystemClock) {
    // Retried until the reading falls inside one whole second, so a second boundary between the
    // two clock reads cannot make the comparison fail.
    for (int attempt = 0; attempt < 5; ++attempt) {
        const std::time_t before = std::time(nullptr);
        const LocalTime now = CurrentLocalTime();
        if (std::time(nullptr) != before)
            continue;
        std::tm parts{};
        localtime_r(&before, &parts);
        EXPECT_EQ(std::tuple(now.year, now.month, now.day, now.hour, now.minute, now.second),
                  std::tuple(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
                             parts.tm_min, parts.tm_sec));
        EXPECT_GE(now.millisecond, 0);
        EXPECT_LE(now.millisecond, 999);
        return;
    }
    FAIL() << "the clock never stayed within one second";
}

}  // namespace
