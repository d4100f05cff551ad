#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sequences/StimulusTimeline.h"

// Where the timeline preview draws what, without a widget: one row per LED (a bar while it is
// on, as tall as its intensity) and per TTL output (a bar while high), time running left to
// right at a scale that fits the whole sequence into the width, times the zoom.
class TimelinePlot {
  public:
    // The preview lists this many settings at most, so a loop of a million passes stays quick.
    static constexpr std::uint64_t kMaxEvents = 5000;
    static constexpr int kMaxZoom = 1024;

    struct Bar {
        std::size_t row = 0;
        double startMs = 0.0;
        double endMs = 0.0;
        int level = 255;  // the LED's intensity; full for TTL
        bool ttl = false;
    };
    struct Rect {
        int x = 0, y = 0, width = 0, height = 0;
        bool operator==(const Rect&) const = default;
    };

    // An empty plot says why in Message(): no sequence, or the timeline's error.
    void SetListing(const TimelineListing& listing);
    void Clear(const std::wstring& message);

    const std::vector<std::wstring>& Rows() const { return rows_; }
    const std::vector<Bar>& Bars() const { return bars_; }
    double DurationMs() const { return durationMs_; }
    // The limit or error text; empty when the whole sequence is drawn.
    const std::wstring& Message() const { return message_; }

    void SetWidth(int width) { width_ = width; }
    // The height of a row, from the font that draws the labels; the margins follow it.
    void SetRowHeight(int height) { rowHeight_ = height; }
    int RowHeight() const { return rowHeight_; }
    int LabelWidth() const { return rowHeight_ * 7 / 2; }
    int RightMargin() const { return rowHeight_ / 2; }
    int Top() const { return rowHeight_ / 4; }
    int Zoom() const { return zoom_; }
    void SetZoom(int zoom);
    // The width the plot needs at this zoom.
    int PlotWidth() const;
    // The rows, then a line for the total and any limit message.
    int PlotHeight() const;
    double PixelsPerMs() const;
    int X(double ms) const;
    int RowTop(std::size_t row) const { return Top() + static_cast<int>(row) * rowHeight_; }
    Rect BarRect(const Bar& bar) const;

  private:
    std::vector<std::wstring> rows_;
    std::vector<Bar> bars_;
    double durationMs_ = 0.0;
    std::wstring message_;
    int width_ = 200;
    int rowHeight_ = 16;
    int zoom_ = 1;
};
