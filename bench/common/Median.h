#pragma once

#include <algorithm>
#include <vector>

// The middle of the measured values: one slow run (the machine busy elsewhere) does not move it.
inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
