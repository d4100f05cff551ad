#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/FileBytes.h"
#include "tools/ostra-cli/CliFixture.h"

namespace {

const std::filesystem::path kSamples = OSTRA_SOURCE_DIR "/samples";
const std::filesystem::path kDataDirectory = OSTRA_SOURCE_DIR "/data";

std::vector<std::string> SampleFiles() {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(kSamples)) {
        if (entry.path().extension() == ".cfg") {
            files.push_back(std::filesystem::relative(entry.path(), kSamples).string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

TEST(SamplesListTest, ThereAreSettingsAndSequenceSamples) {
    const std::vector<std::string> files = SampleFiles();
    EXPECT_GE(std::count_if(files.begin(), files.end(),
                            [](const std::string& f) { return f.starts_with("settings/"); }),
              2);
    EXPECT_GE(std::count_if(files.begin(), files.end(),
                            [](const std::string& f) { return f.starts_with("sequences/"); }),
              2);
}

class SampleCheckTest : public CliFixture, public testing::WithParamInterface<std::string> {};

// Against the setup file that ships with the program, with no settings of the operator's.
TEST_P(SampleCheckTest, PassesTheCheckAgainstTheShippedSetupFile) {
    const std::filesystem::path file = kSamples / GetParam();
    CliResult result;
    nlohmann::ordered_json json =
        RunJson({"--setup-dir", kDataDirectory.string(), "check", file.string()}, &result);
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    ASSERT_EQ(json["files"].size(), 1u);
    nlohmann::ordered_json& checked = json["files"][0];
    EXPECT_EQ(checked["ok"], true);
    EXPECT_FALSE(checked["sequences"].empty());
    const std::string content = ReadFileBytes(file);
    EXPECT_EQ(content.rfind("# ", 0), 0u) << "every sample starts with a comment saying what it is";
}

INSTANTIATE_TEST_SUITE_P(Samples, SampleCheckTest, testing::ValuesIn(SampleFiles()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             std::string name;
                             for (const char c : info.param) {
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             }
                             return name;
                         });

// The demonstration of ./run, with the programs of this build: it must end with the emulated
// device's LEDs off and say where the run's files are.
TEST_F(CliFixture, TheDemonstrationRunsToItsEnd) {
    const std::filesystem::path work = File("demo");
    CliProcess demo(
        "/bin/bash",
        {OSTRA_SOURCE_DIR "/scripts/demo.sh", OSTRA_CLI_PROGRAM, ZAVIK_SIM_PROGRAM, work.string()},
        {});
    const CliResult result = demo.Finish(kPatience);
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    const std::vector<std::string> lines = Lines(result.out);
    for (const std::string& expected :
         {"No Zavik Driver found: starting the emulator zavik-sim (port directory " +
              (work / "ports").string() + ").",
          std::string("Firmware version: ZVK-SIM 1.0"), std::string("Upload Complete!"),
          std::string("Sequence 3 (Demo trial) completed after 1910.8 ms."),
          std::string("Every LED is off (output mask 0x0080: only the always-set bit 7)."),
          "Settings file: " + (work / "appdata/Velorin/Ostra/OstraSettings.cfg").string(),
          std::string("Demonstration complete.")}) {
        EXPECT_NE(std::find(lines.begin(), lines.end(), expected), lines.end()) << expected;
    }
    const std::string state = ReadFileBytes(work / "zavik-sim-state.txt");
    EXPECT_EQ(state.rfind("outputs 0x0080 (Blue off, Green off, Red off)\n", 0), 0u) << state;
    EXPECT_NE(state.find("sequence 10 records 6\n"), std::string::npos) << state;
    EXPECT_NE(state.find("running none\n"), std::string::npos) << state;
    // Nothing of the demonstration lands in the test's own TEMP and APPDATA.
    EXPECT_TRUE(DataDirectories().empty());
}

}  // namespace
