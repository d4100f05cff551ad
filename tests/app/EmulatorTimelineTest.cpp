#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "CoreOnEmulator.h"
#include "app/TimelineScriptCheck.h"
#include "sequences/ContainerFixture.h"

namespace {

constexpr int kPort = 61;

struct Line {
    double time = 0.0;
    std::string rest;  // lane and value
};

// The settings of a TSV (header and initial states left out: the outputs a run starts from are
// what the runs before left), source column dropped; the settings of one moment in lane order,
// since the two list the outputs of one command in different orders.
std::vector<Line> Settings(const std::string& tsv) {
    std::vector<Line> lines;
    std::istringstream stream(tsv);
    std::string text;
    std::getline(stream, text);  // the header
    while (std::getline(stream, text)) {
        const std::size_t lane = text.find('\t') + 1;
        if (!text.ends_with("\tinitial")) {
            lines.push_back({std::stod(text), text.substr(lane, text.rfind('\t') - lane)});
        }
    }
    for (auto first = lines.begin(); first != lines.end();) {
        const auto last =
            std::find_if(first, lines.end(), [&](const Line& l) { return l.time != first->time; });
        std::sort(first, last, [](const Line& a, const Line& b) { return a.rest < b.rest; });
        first = last;
    }
    return lines;
}

// The record of sequence n's last run, between its start and end lines, as a TSV of its own.
std::string RunOf(const std::string& events, std::uint32_t n) {
    const std::size_t body =
        events.find('\n', events.rfind("# sequence " + std::to_string(n) + " start")) + 1;
    return events.substr(body,
                         events.find("# sequence " + std::to_string(n) + " end", body) - body);
}

// Every sequence uploaded by the application and run on the emulated driver in virtual time
// records what its timeline lists: the same settings in the same order, at the same times where
// no loop runs, within the device check's rounding where one does.
class EmulatorTimelineTest : public CoreOnEmulator, public testing::Test {
  protected:
    EmulatorTimelineTest() : CoreOnEmulator(kPort) {}
    void SetUp() override {
        driver_.Config().eventsPath = dir_.Path() / "events.tsv";
        ASSERT_EQ(driver_.Start(), 0);
        ASSERT_NO_FATAL_FAILURE(Start(core_));
        MicroController& device = core_.GetMicroController();
        ASSERT_EQ(device.GetConnection().Connect(kPort), 0);
        ASSERT_EQ(device.SendAllIntensities(), 0);
    }

    void ExpectRunsAsTimeline() {
        ASSERT_TRUE(core_.UploadSequences().status.Ok());
        SequenceContainer& sequences = core_.GetSequenceContainer();
        MicroController& device = core_.GetMicroController();
        for (std::uint32_t n = 0; n < SequenceContainer::kSequenceCount; ++n) {
            if (sequences.GetCommandSets(n).empty())
                continue;
            const TimelineListing listing =
                ListTimeline(sequences, n, DeviceTimelineOutputs(device), 100000);
            ASSERT_TRUE(listing.timeline) << WideToNarrow(listing.error);
            const ScriptCheckResult check =
                CheckTimelineScripts(sequences, device, *listing.timeline, 100000);
            ASSERT_TRUE(check.mismatch.empty()) << WideToNarrow(check.Summary());
            ASSERT_EQ(device.StartSequence(n), 0);
            driver_->AdvanceClock(std::chrono::microseconds(
                static_cast<std::int64_t>(check.scriptEndMs * 1000) + 1000));

            const std::vector<Line> want =
                Settings(WideToNarrow(TimelineToTsv(*listing.timeline, listing.expansion.events)));
            const std::vector<Line> got =
                Settings(RunOf(ReadFileBytes(dir_.Path() / "events.tsv"), n));
            ASSERT_EQ(got.size(), want.size()) << "sequence " << n;
            // Told by the timeline, not by the conversion under test.
            const auto& events = listing.expansion.events;
            const bool loops = std::any_of(events.begin(), events.end(), [](const auto& event) {
                return std::any_of(event.source.begin(), event.source.end(),
                                   [](const SourceFrame& frame) { return frame.pass != 0; });
            });
            for (std::size_t i = 0; i < want.size(); ++i) {
                EXPECT_EQ(got[i].rest, want[i].rest) << "sequence " << n << " line " << i;
                EXPECT_LE(std::fabs(got[i].time - want[i].time),
                          loops ? std::fabs(check.largestDifferenceMs) + 1e-6 : 1e-6)
                    << "sequence " << n << " line " << i << ": " << got[i].rest;
            }
        }
    }
};

TEST_F(EmulatorTimelineTest, SampleSequencesRunAsTheirTimelines) {
    const std::filesystem::path samples = std::filesystem::path(OSTRA_SOURCE_DIR) / "samples";
    ASSERT_EQ(
        core_.ReadSettingsFile(NarrowToWide((samples / "settings/DemoProtocol.cfg").string())), 0);
    ASSERT_TRUE(core_.ImportSequenceFile(
        100, L"Red flashes", NarrowToWide((samples / "sequences/RedFlashes.cfg").string())));
    ASSERT_TRUE(core_.ImportSequenceFile(
        101, L"Paired pulse", NarrowToWide((samples / "sequences/PairedPulse.cfg").string())));
    ExpectRunsAsTimeline();
}

// Durations in whole device steps, so that only loops move times; sequences 0..4 may call the
// ones above them (added first), the odd ones loop.
TEST_F(EmulatorTimelineTest, RandomSequencesWithLoopsAndCallsRunAsTheirTimelines) {
    std::mt19937 random(20261206);
    const auto pick = [&](int count) { return static_cast<int>(random() % count); };
    const auto w = [](int number) { return std::to_wstring(number); };
    const std::wstring labels[] = {L"Blue", L"Green", L"Red"};
    SequenceContainer& sequences = core_.GetSequenceContainer();
    for (std::uint32_t n = 10; n-- > 0;) {
        std::vector<CommandSet> steps;
        for (int s = 0, count = 2 + pick(4); s < count; ++s) {
            const int kind = pick(4);
            if (n < 5 && kind == 0) {
                steps.push_back({L"-Call " + w(5 + pick(5))});
            } else if (kind == 1) {
                steps.push_back({L"-SetIntensity " + labels[pick(3)] + L" " + w(pick(256))});
            } else {
                steps.push_back({(pick(2) ? L"-On " : L"-Off ") + labels[pick(3)],
                                 (pick(2) ? L"-TTLHigh " : L"-TTLLow ") + w(3 + pick(4)),
                                 L"-Duration " + w(1 + pick(200)) + L"." + w(pick(10))});
            }
        }
        if (n % 2 == 1) {
            steps.insert(steps.begin(), CommandSet{L"-Loop " + w(2 + pick(3))});
            steps.push_back({L"-EndLoop"});
        }
        ASSERT_NO_FATAL_FAILURE(DefineSequence(sequences, n, L"R" + w(static_cast<int>(n)), steps));
    }
    ExpectRunsAsTimeline();
}

}  // namespace
