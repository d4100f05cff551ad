#include "ui/PulseDeadline.h"

#include <algorithm>

std::optional<std::int64_t> PulseDeadline::TrainLength(const PulseParameters& pulse) {
    if (pulse.loopCount == 0) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>((pulse.widthOn + pulse.widthOff) *
                                     static_cast<double>(pulse.loopCount));
}

int PulseDeadline::NextInterval(std::int64_t now) const {
    if (!deadline_) {
        return 0;
    }
    return static_cast<int>(std::clamp<std::int64_t>(*deadline_ - now, 0, kChunkMilliseconds));
}
