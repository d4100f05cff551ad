#include "ui/TimelinePlot.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

// A row's state: its bar's level, or nothing while the output is off or low.
struct RowState {
    std::optional<int> level;
    double since = 0.0;
};

}  // namespace

void TimelinePlot::Clear(const std::wstring& message) {
    rows_.clear();
    bars_.clear();
    durationMs_ = 0.0;
    message_ = message;
}

void TimelinePlot::SetListing(const TimelineListing& listing) {
    if (!listing.timeline) {
        Clear(listing.error);
        return;
    }
    Clear(listing.expansion.message);
    const std::vector<TimelineLane>& lanes = listing.timeline->Lanes();
    std::vector<int> values;
    std::vector<std::size_t> rowOf;
    for (const TimelineLane& lane : lanes) {
        values.push_back(lane.initial);
        if (lane.kind != TimelineLane::Kind::Intensity) {
            rowOf.push_back(rows_.size());
            rows_.push_back(lane.name);
        } else {
            rowOf.push_back(rows_.size() - 1);  // the intensity follows its LED's on/off lane
        }
    }
    // The level a row shows from the lanes' values: LED lane i + 1 is lane i's intensity.
    const auto level = [&](std::size_t lane) -> std::optional<int> {
        if (values[lane] == 0) {
            return std::nullopt;
        }
        return lanes[lane].kind == TimelineLane::Kind::Led ? values[lane + 1] : 255;
    };
    std::vector<RowState> states(rows_.size());
    std::vector<std::size_t> rowLane(rows_.size());
    for (std::size_t lane = 0; lane < lanes.size(); ++lane) {
        if (lanes[lane].kind != TimelineLane::Kind::Intensity) {
            rowLane[rowOf[lane]] = lane;
            states[rowOf[lane]].level = level(lane);
        }
    }
    const auto close = [&](std::size_t row, double at) {
        RowState& state = states[row];
        if (state.level && at > state.since) {
            bars_.push_back({row, state.since, at, *state.level,
                             lanes[rowLane[row]].kind == TimelineLane::Kind::Ttl});
        }
        state.since = at;
    };
    for (const TimelineEvent& event : listing.expansion.events) {
        const std::size_t row = rowOf[event.lane];
        values[event.lane] = event.value;
        const std::optional<int> now = level(rowLane[row]);
        if (now != states[row].level) {
            close(row, event.timeMs);
            states[row].level = now;
        }
    }
    // A listing cut short draws only as far as its last setting.
    durationMs_ = listing.timeline->DurationMs();
    const double end = listing.expansion.complete || listing.expansion.events.empty()
                           ? durationMs_
                           : listing.expansion.events.back().timeMs;
    for (std::size_t row = 0; row < rows_.size(); ++row) {
        close(row, end);
    }
    std::stable_sort(bars_.begin(), bars_.end(),
                     [](const Bar& a, const Bar& b) { return a.row < b.row; });
}

void TimelinePlot::SetZoom(int zoom) {
    zoom_ = std::clamp(zoom, 1, kMaxZoom);
}

int TimelinePlot::PlotWidth() const {
    const int fitted = std::max(width_, LabelWidth() + RightMargin() + 1);
    return LabelWidth() + (fitted - LabelWidth() - RightMargin()) * zoom_ + RightMargin();
}

int TimelinePlot::PlotHeight() const {
    return RowTop(rows_.size() + 1) + Top();
}

double TimelinePlot::PixelsPerMs() const {
    const int span = PlotWidth() - LabelWidth() - RightMargin();
    return durationMs_ > 0.0 ? span / durationMs_ : 0.0;
}

int TimelinePlot::X(double ms) const {
    return LabelWidth() + static_cast<int>(std::lround(ms * PixelsPerMs()));
}

TimelinePlot::Rect TimelinePlot::BarRect(const Bar& bar) const {
    const int x = X(bar.startMs);
    // Even the faintest setting stays visible: at least two pixels each way.
    const int full = rowHeight_ - 4;
    const int height = std::max(2, (full * bar.level + 127) / 255);
    return {x, RowTop(bar.row) + 2 + full - height, std::max(2, X(bar.endMs) - x), height};
}
