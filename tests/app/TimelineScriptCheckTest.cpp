#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/TimelineScriptCheck.h"
#include "device/MicroController.h"
#include "sequences/SequenceContainer.h"

namespace {

// The conversion examples walked as the device runs them, against their timelines. Device LED
// IDs: Blue 0, Green 2, Red 1.
TEST(TimelineScriptCheckTest, ConversionExamplesWalkToTheTimelineOrReportTheDifference) {
    const struct {
        std::vector<std::vector<std::wstring>> steps;
        std::wstring summary;
    } cases[] = {
        {{{L"-Duration 100"}},
         L"Script and timeline agree on 0 settings, all at the same times. It ends at 100.0 ms, "
         L"the timeline at 100.0 ms."},
        {{{L"-Off Red", L"-TTLHigh 3"}, {L"-TTLLow 4"}, {L"-SetIntensity Green 200"}},
         L"Script and timeline agree on 4 settings, all at the same times. It ends at 0.3 ms, the "
         L"timeline at 0.3 ms."},
        {{{L"-Loop 2"}, {L"-EndLoop"}, {L"-On Blue"}},
         L"Script and timeline agree on 1 settings, all at the same times. It ends at 0.1 ms, the "
         L"timeline at 0.1 ms."},
        {{{L"-Call 2"}, {L"-On Blue", L"-Duration 0.17"}, {L"-Off Blue"}},
         L"Script and timeline agree on 4 settings; 1 moments differ in time, by up to 0.03 ms "
         L"(within 0.1 ms per step). It ends at 13.0 ms, the timeline at 13.0 ms."},
        // Every pass runs the EndLoop command's own step, which timing does not count.
        {{{L"-Loop 5"},
          {L"-On Blue", L"-Duration 1"},
          {L"-Off Blue", L"-Duration 1"},
          {L"-EndLoop"},
          {L"-On Green"}},
         L"Script and timeline agree on 11 settings; 9 moments differ in time, by up to 0.50 ms "
         L"(within 0.1 ms per step). It ends at 10.6 ms, the timeline at 10.1 ms."},
        // A set-intensity command takes over the script command of its set.
        {{{L"-On Blue", L"-SetIntensity Blue 5"}},
         L"Script and timeline disagree: the timeline sets Blue on at 0.0 ms, the script Blue "
         L"intensity 5 at 0.0 ms."},
    };
    MicroController device;
    for (const wchar_t* label : {L"Blue", L"Green", L"Red"}) {
        ASSERT_EQ(device.AddLED(label, 0.0), 0);
    }
    for (const auto& c : cases) {
        SequenceContainer container;
        container.SetColorLabels({L"Blue", L"Green", L"Red"});
        const std::vector<std::vector<std::wstring>> called = {
            {L"-SetIntensity Blue 100", L"-Duration 10"}, {L"-Off Blue"}, {L"-Duration 2.5"}};
        for (const auto& [number, steps] : {std::pair{2u, called}, std::pair{1u, c.steps}}) {
            ASSERT_EQ(container.AddSequence(number, L"S" + std::to_wstring(number)), 0);
            for (std::uint32_t set = 0; set < steps.size(); ++set) {
                ASSERT_EQ(container.AddCommandSet(number, set), 0);
                for (const std::wstring& text : steps[set]) {
                    ASSERT_EQ(container.AddCommand(number, set, text), 0) << text;
                }
            }
        }
        const TimelineBuild build =
            StimulusTimeline::Build(container, 1, DeviceTimelineOutputs(device));
        ASSERT_TRUE(build.timeline) << build.error;
        const ScriptCheckResult result =
            CheckTimelineScripts(container, device, *build.timeline, 1000);
        EXPECT_EQ(result.Summary(), c.summary);
    }
}

}  // namespace
