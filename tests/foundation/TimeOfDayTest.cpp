#include <gtest/gtest.h>

#include <climits>
#include <ctime>
#include <string>

#include "foundation/TimeOfDay.h"

namespace {

struct TimeCase {
    LocalTime time;
    std::wstring text;
};

void PrintTo(const TimeCase& c, std::ostream* os) {
    *os << c.time.hour << ':' << c.time.minute << ':' << c.time.second << '.' << c.time.millisecond;
}

class TimeOfDayFormat : public testing::TestWithParam<TimeCase> {};

TEST_P(TimeOfDayFormat, PadsToFixedWidthWithOneLeadingSpace) {
    EXPECT_EQ(FormatTimeOfDay(GetParam().time), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Times, TimeOfDayFormat,
                         testing::Values(TimeCase{{2024, 3, 7, 9, 5, 3, 7}, L" 09:05:03.007"},
                                         TimeCase{{2024, 3, 7, 23, 59, 59, 999}, L" 23:59:59.999"},
                                         TimeCase{{2024, 3, 7, 10, 10, 10, 100},
                                                  L" 10:10:10.100"}));

TEST(TimeOfDayFormat, OutOfRangeValuesDoNotOverflow) {
    const LocalTime extreme{0, 0, 0, INT_MIN, INT_MAX, INT_MIN, INT_MAX};
    EXPECT_EQ(FormatTimeOfDay(extreme), L" -2147483648:2147483647:-2147483648.2147483647");
}

TEST(CurrentLocalTime, AgreesWithTheSystemClock) {
    // Retried until the reading falls inside one whole second, so a second boundary between the
    // two clock reads cannot make the comparison fail.
    for (int attempt = 0; attempt < 5; ++attempt) {
        const std::time_t before = std::time(nullptr);
        const LocalTime now = CurrentLocalTime();
        if (std::time(nullptr) != before) {
            continue;
        }
        std::tm parts{};
        localtime_r(&before, &parts);
        EXPECT_EQ(now.year, parts.tm_year + 1900);
        EXPECT_EQ(now.month, parts.tm_mon + 1);
        EXPECT_EQ(now.day, parts.tm_mday);
        EXPECT_EQ(now.hour, parts.tm_hour);
        EXPECT_EQ(now.minute, parts.tm_min);
        EXPECT_EQ(now.second, parts.tm_sec);
        EXPECT_GE(now.millisecond, 0);
        EXPECT_LE(now.millisecond, 999);
        return;
    }
    FAIL() << "the clock never stayed within one second";
}

}  // namespace
