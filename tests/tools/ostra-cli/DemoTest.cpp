#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/FileBytes.h"
#include "tools/ostra-cli/CliFixture.h"

namespace {

using DemoTest = CliFixture;

// The demonstration of ./run, with the programs of this build: it must end with the emulated
// device's LEDs off and say where the run's files are.
TEST_F(DemoTest, TheDemonstrationRunsToItsEnd) {
    const std::filesystem::path work = File("demo");
    ChildProcess demo(
        "/bin/bash",
        {OSTRA_SOURCE_DIR "/scripts/demo.sh", OSTRA_CLI_PROGRAM, ZAVIK_SIM_PROGRAM, work.string()},
        {});
    const ProcessResult result = demo.Finish(kPatience);
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
    EXPECT_TRUE(state.starts_with("outputs 0x0080 (Blue off, Green off, Red off)\n")) << state;
    EXPECT_NE(state.find("sequence 10 records 6\n"), std::string::npos) << state;
    EXPECT_NE(state.find("running none\n"), std::string::npos) << state;
    // Nothing of the demonstration lands in the test's own TEMP and APPDATA.
    EXPECT_TRUE(DataDirectories().empty());
}

}  // namespace
