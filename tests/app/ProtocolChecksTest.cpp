#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/ConfigFileSurvey.h"
#include "app/ProtocolCheck.h"
#include "app/TimelineScriptCheck.h"
#include "device/MicroController.h"
#include "foundation/TextConversion.h"
#include "sequences/ContainerFixture.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

namespace {

using Kind = ConfigFileSurvey::Kind;

// Each file is judged by its command words; a sequence file also gives the numbers it names.
// Bad lines are left to the check itself; a missing file to the settings reader.
TEST(ConfigFileSurveyTest, JudgesTheFileByItsCommandWords) {
    const struct {
        std::string content;
        Kind kind;
        std::set<std::uint32_t> numbers;
    } cases[] = {
        {"# setup\n-addled Blue 12.5\n-SetMicroControllerPortNumber 4\n", Kind::Setup, {}},
        {"-SetIntensity Blue 3\n-AddSequence 0 \"A\"\n-AddSequenceCommandSet 0 0\n",
         Kind::Settings,
         {}},
        {"# steps\r\n-AddSequenceCommandSet 3 0\r\n-AddSequenceCommand 254 0 \"-Off Blue\"\r\n"
         "-AddSequenceCommandSet 255 0\r\n-AddSequenceCommandSet -1 0\r\n",
         Kind::Sequence,
         {3, 254}},
        {"%N = 5\n-AddSequenceCommandSet %N 0\nnot a command\n-AddSequenceCommand 5 0 \"x\n",
         Kind::Sequence,
         {5}},
        {"-AddSequenceCommandSet 1 0\n-Break\n-SetIntensity Blue 3\n", Kind::Sequence, {1}},
        {"# nothing\n\n", Kind::Settings, {}},
    };
    TempDir dir;
    for (const auto& c : cases) {
        WriteFileBytes(dir.Path() / "file.cfg", c.content);
        const ConfigFileSurvey survey = ConfigFileSurvey::Of(dir.File("file.cfg"));
        EXPECT_EQ(survey.kind, c.kind) << c.content;
        EXPECT_EQ(survey.sequenceNumbers, c.numbers) << c.content;
    }
    EXPECT_EQ(ConfigFileSurvey::Of(dir.File("missing.cfg")).kind, Kind::Settings);
}

// Every sample, opening with a comment, passes against the shipped setup file. Sequence files are
// checked as an import reads them, each beside the same sequences: one file checked does not
// stand in the way of the next (RedFlashes again), and a -Break is refused as by an import.
TEST(ProtocolCheckTest, SamplesPassOneAfterAnotherAndABreakIsRefused) {
    TempDir dir;
    WriteFileBytes(dir.Path() / "break.cfg", "-AddSequenceCommandSet 1 0\n-Break\n");
    SequenceContainer operatorSequences;
    ProtocolCheck check(NarrowToWide(std::string(OSTRA_SOURCE_DIR) + "/data/OstraSetup.cfg"),
                        operatorSequences);
    std::vector<std::filesystem::path> samples;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(OSTRA_SOURCE_DIR "/samples"))
        samples.push_back(entry.path());
    samples.push_back(OSTRA_SOURCE_DIR "/samples/sequences/RedFlashes.cfg");
    std::map<Kind, int> kinds;
    for (const std::filesystem::path& sample : samples) {
        if (sample.extension() == ".cfg") {
            EXPECT_TRUE(ReadFileBytes(sample).starts_with("# ")) << sample;
            const ProtocolCheck::FileResult result = check.CheckFile(NarrowToWide(sample.string()));
            EXPECT_TRUE(result.Ok())
                << sample << ": " << WideToNarrow(result.findings.front().reasons.front());
            EXPECT_TRUE(result.kind == Kind::Sequence ? result.sequences.size() == 1
                                                      : !result.sequences.empty())
                << sample;
            ++kinds[result.kind];
        }
    }
    EXPECT_GE(kinds[Kind::Settings], 2);
    EXPECT_GE(kinds[Kind::Sequence], 3);
    const ProtocolCheck::FileResult refused = check.CheckFile(dir.File("break.cfg"));
    ASSERT_EQ(refused.findings.size(), 1u);
    EXPECT_EQ(refused.findings.front().lineNumber, 2);
}

// The conversion examples walked as the device runs them, against their timelines. Device LED
// IDs: Blue 0, Green 2, Red 1.
TEST(TimelineScriptCheckTest, ConversionExamplesWalkToTheTimelineOrReportTheDifference) {
    const struct {
        std::vector<CommandSet> steps;
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
        // An intensity change takes the script command whole, so the switch beside it is
        // refused rather than lost.
        {{{L"-On Blue", L"-SetIntensity Blue 5"}},
         L"Sequence 1 cannot be converted into script commands (the log names the reason)."},
    };
    MicroController device;
    for (const wchar_t* label : {L"Blue", L"Green", L"Red"})
        ASSERT_EQ(device.AddLED(label, 0.0), 0);
    for (const auto& c : cases) {
        SequenceContainer container;
        container.SetColorLabels({L"Blue", L"Green", L"Red"});
        const std::vector<CommandSet> called = {
            {L"-SetIntensity Blue 100", L"-Duration 10"}, {L"-Off Blue"}, {L"-Duration 2.5"}};
        for (const auto& [number, steps] : {std::pair{2u, called}, std::pair{1u, c.steps}}) {
            ASSERT_NO_FATAL_FAILURE(
                DefineSequence(container, number, L"S" + std::to_wstring(number), steps));
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
