#pragma once

#include <cstdint>
#include <optional>

#include "device/LEDRecord.h"

// The end of a finite manual pulse train. A train may last (1,800,000 + 1,800,000) ms times
// 1,000,000 loops, far beyond any int millisecond timer, so the deadline is held in 64 bits and
// the timer is re-armed in chunks until it has passed.
class PulseDeadline {
  public:
    // The longest single timer interval.
    static constexpr std::int64_t kChunkMilliseconds = 3600000;

    // (width on + width off) x loop count, truncated to whole ms; none for an endless train.
    static std::optional<std::int64_t> TrainLength(const PulseParameters& pulse);

    // Times are monotonic milliseconds.
    void Arm(std::int64_t now, std::int64_t length) { deadline_ = now + length; }
    void Disarm() { deadline_.reset(); }
    bool IsArmed() const { return deadline_.has_value(); }
    bool HasPassed(std::int64_t now) const { return deadline_ && now >= *deadline_; }
    // The interval to arm the timer with: what remains, at most one chunk.
    int NextInterval(std::int64_t now) const;

  private:
    std::optional<std::int64_t> deadline_;
};
