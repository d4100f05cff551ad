#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/ConfigFileSurvey.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

namespace {

using Kind = ConfigFileSurvey::Kind;

struct SurveyCase {
    std::string name;
    std::string content;
    Kind kind;
    std::set<std::uint32_t> numbers;
};

void PrintTo(const SurveyCase& c, std::ostream* out) {
    *out << c.name;
}

class ConfigFileSurveyTest : public testing::TestWithParam<SurveyCase> {};

TEST_P(ConfigFileSurveyTest, JudgesTheFileByItsCommandWords) {
    TempDir dir;
    WriteFileBytes(dir.Path() / "file.cfg", GetParam().content);
    const ConfigFileSurvey survey = ConfigFileSurvey::Of(dir.File("file.cfg"));
    EXPECT_EQ(survey.kind, GetParam().kind);
    EXPECT_EQ(survey.sequenceNumbers, GetParam().numbers);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ConfigFileSurveyTest,
    testing::Values(
        SurveyCase{"Setup",
                   "# setup\n-AddLED Blue 12.5\n-SetMicroControllerPortNumber 4\n",
                   Kind::Setup,
                   {}},
        SurveyCase{"SetupWordInAnyCase", "-addled Blue\n", Kind::Setup, {}},
        SurveyCase{"Settings",
                   "-SetIntensity Blue 3\n-AddSequence 0 \"A\"\n-AddSequenceCommandSet 0 0\n",
                   Kind::Settings,
                   {}},
        SurveyCase{"SequenceFile",
                   "# steps\r\n-AddSequenceCommandSet 3 0\r\n-AddSequenceCommand 3 0 \"-Off "
                   "Blue\"\r\n",
                   Kind::Sequence,
                   {3}},
        SurveyCase{"SequenceFileWithSeveralNumbers",
                   "-AddSequenceCommandSet 3 0\n-AddSequenceCommand 254 0 \"-Off Blue\"\n"
                   "-AddSequenceCommandSet 255 0\n-AddSequenceCommandSet -1 0\n",
                   Kind::Sequence,
                   {3, 254}},
        SurveyCase{"SequenceFileWithVariables",
                   "%N = 5\n-AddSequenceCommandSet %N 0\n",
                   Kind::Sequence,
                   {5}},
        // Bad lines are left to the check itself.
        SurveyCase{"SequenceFileWithABadLine",
                   "-AddSequenceCommandSet 1 0\nnot a command\n-AddSequenceCommand 1 0 \"x\n",
                   Kind::Sequence,
                   {1}},
        SurveyCase{"LinesAfterABreakDoNotCount",
                   "-AddSequenceCommandSet 1 0\n-Break\n-SetIntensity Blue 3\n",
                   Kind::Sequence,
                   {1}},
        SurveyCase{"Empty", "# nothing\n\n", Kind::Settings, {}}),
    [](const testing::TestParamInfo<SurveyCase>& info) { return info.param.name; });

TEST(ConfigFileSurveyMissingTest, AMissingFileIsLeftToTheSettingsReader) {
    TempDir dir;
    EXPECT_EQ(ConfigFileSurvey::Of(dir.File("missing.cfg")).kind, Kind::Settings);
}

}  // namespace
