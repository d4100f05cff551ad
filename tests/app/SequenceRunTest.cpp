#include <gtest/gtest.h>

#include <cmath>

#include "app/SequenceRun.h"

namespace {

using Clock = std::chrono::steady_clock;
using Ms = SequenceRun::Milliseconds;

// The run's end timer rounds up to whole milliseconds (a step's fractions never end it early)
// and never overflows the clock, however long nested loops make a run.
TEST(SequenceRunTest, TheEndTimerCoversTheWholeRunAndSaturates) {
    const struct {
        double durationMs;
        Ms timer;
        bool endsAtTheClocksEnd;
    } cases[] = {
        {12.6, Ms(13), false},
        {7.000000000000001, Ms(7), false},  // ten steps of 0.7 ms as timing adds them
        {0.0, Ms(0), false},
        {-1.0, Ms(0), false},
        {1.8e13, Ms(18'000'000'000'000),
         true},  // in range as milliseconds, not as the clock's ticks
        {1.8e36, Ms::max(), true},
        {std::nan(""), Ms::max(), true},
    };
    const Clock::time_point start = Clock::now();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.durationMs);
        EXPECT_EQ(SequenceRun::TimerLength(c.durationMs), c.timer);
        EXPECT_EQ(SequenceRun::EndOf(start, c.durationMs),
                  c.endsAtTheClocksEnd ? Clock::time_point::max() : start + c.timer);
    }
}

}  // namespace
