#include <gtest/gtest.h>

#include "sequences/ContainerFixture.h"
#include "ui/TimelinePlot.h"

namespace {

using Bar = TimelinePlot::Bar;
using Rect = TimelinePlot::Rect;

std::vector<std::tuple<std::size_t, double, double, int, bool>> Tuples(const TimelinePlot& plot) {
    std::vector<std::tuple<std::size_t, double, double, int, bool>> bars;
    for (const Bar& bar : plot.Bars()) {
        bars.emplace_back(bar.row, bar.startMs, bar.endMs, bar.level, bar.ttl);
    }
    return bars;
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
    const std::vector<std::tuple<std::size_t, double, double, int, bool>> bars{
        {0, 0.0, 10.0, 26, false},
        {0, 10.0, 20.0, 255, false},
        {1, 20.2, 22.2, 40, false},
        {1, 22.4, 24.4, 40, false},
        {2, 0.0, 20.0, 255, true}};
    const auto actual = Tuples(plot);
    ASSERT_EQ(actual.size(), bars.size());
    for (std::size_t i = 0; i < bars.size(); ++i) {
        EXPECT_EQ(std::get<0>(actual[i]), std::get<0>(bars[i])) << i;
        EXPECT_NEAR(std::get<1>(actual[i]), std::get<1>(bars[i]), 1e-9) << i;
        EXPECT_NEAR(std::get<2>(actual[i]), std::get<2>(bars[i]), 1e-9) << i;
        EXPECT_EQ(std::get<3>(actual[i]), std::get<3>(bars[i])) << i;
        EXPECT_EQ(std::get<4>(actual[i]), std::get<4>(bars[i])) << i;
    }
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
