#include <gtest/gtest.h>

#include "foundation/TextConversion.h"
#include "sequences/ContainerFixture.h"
#include "ui/TimelinePlot.h"

namespace {

using Bar = TimelinePlot::Bar;
using Rect = TimelinePlot::Rect;

// Each bar as "row start-end level", times to 0.01 ms, TTL bars marked.
std::wstring BarTexts(const TimelinePlot& plot) {
    std::wstring text;
    for (const Bar& bar : plot.Bars()) {
        text += std::to_wstring(bar.row) + L" " + FixedText(bar.startMs, 2) + L"-" +
                FixedText(bar.endMs, 2) + L" " + std::to_wstring(bar.level) +
                (bar.ttl ? L" TTL|" : L"|");
    }
    return text;
}

class TimelinePlotTest : public ContainerFixture {
  protected:
    TimelinePlot Plot(std::uint32_t number, std::uint64_t maxEvents = TimelinePlot::kMaxEvents) {
        TimelinePlot plot;
        plot.SetListing(
            ListTimeline(container, number, {{L"Blue", L"Red"}, {26, 40}, {L"3"}}, maxEvents));
        return plot;
    }
};

// One row per LED and TTL bit; an LED's bar splits where its intensity changes, and a call
// and a loop draw every pass.
TEST_F(TimelinePlotTest, BarsFollowTheSettingsOfEveryPass) {
    container.SetColorLabels({L"Blue", L"Red"});
    Define(1, L"Pulse", {{L"-On Red", L"-Duration 2"}, {L"-Off Red"}});
    Define(2, L"Main",
           {{L"-TTLHigh 3", L"-On Blue", L"-Duration 10"},
            {L"-SetIntensity Blue 255", L"-Duration 10"},
            {L"-Off Blue", L"-TTLLow 3"},
            {L"-Loop 2"},
            {L"-Call 1"},
            {L"-EndLoop"}});
    const TimelinePlot plot = Plot(2);
    EXPECT_EQ(plot.Rows(), (std::vector<std::wstring>{L"Blue", L"Red", L"TTL 3"}));
    EXPECT_EQ(BarTexts(plot),
              L"0 0.00-10.00 26|0 10.00-20.00 255|1 20.20-22.20 40|"
              L"1 22.40-24.40 40|2 0.00-20.00 255 TTL|");
    EXPECT_TRUE(plot.Message().empty());
}

// A listing cut short draws as far as its last setting and says why it stops.
TEST_F(TimelinePlotTest, ListingAtTheLimitStopsAtItsLastSetting) {
    container.SetColorLabels({L"Blue", L"Red"});
    Define(3, L"Long",
           {{L"-Loop 1000"},
            {L"-On Blue", L"-Duration 1"},
            {L"-Off Blue", L"-Duration 1"},
            {L"-EndLoop"}});
    const TimelinePlot plot = Plot(3, 5);
    EXPECT_FALSE(plot.Message().empty());
    ASSERT_FALSE(plot.Bars().empty());
    EXPECT_LT(plot.Bars().back().endMs, 10.0);
    EXPECT_GT(plot.DurationMs(), 1000.0);
}

// The whole sequence fits the width; zoom widens it, within its limits; a bar is as tall as
// its intensity, never less than two pixels.
TEST_F(TimelinePlotTest, TimeAndLevelGiveTheRectangles) {
    container.SetColorLabels({L"Blue", L"Red"});
    Define(4, L"Steps",
           {{L"-On Blue", L"-Duration 10"}, {L"-SetIntensity Blue 255", L"-Duration 10"}});
    TimelinePlot plot = Plot(4);
    plot.SetWidth(200);
    const struct {
        int zoom, expectedZoom, span;
    } zooms[] = {{1, 1, 136}, {4, 4, 544}, {0, 1, 136}, {5000, 1024, 136 * 1024}};
    for (const auto& z : zooms) {
        plot.SetZoom(z.zoom);
        EXPECT_EQ(plot.Zoom(), z.expectedZoom);
        EXPECT_EQ(plot.PlotWidth(), 56 + z.span + 8);
        EXPECT_EQ(plot.X(plot.DurationMs()), 56 + z.span);
    }
    plot.SetZoom(1);
    ASSERT_EQ(plot.Bars().size(), 2u);
    const int middle = plot.X(10.0);
    EXPECT_EQ(plot.BarRect(plot.Bars()[0]), (Rect{56, 4 + 2 + 10, middle - 56, 2}));
    EXPECT_EQ(plot.BarRect(plot.Bars()[1]), (Rect{middle, 4 + 2, 56 + 136 - middle, 12}));
}

}  // namespace
