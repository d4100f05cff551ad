#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <vector>

#include "support/FileBytes.h"
#include "support/MarkerSettings.h"
#include "tools/ostra-cli/CliFixture.h"

namespace {

using UploadAndRunTest = CliFixture;

TEST_F(UploadAndRunTest, RunUploadsStartsAndReportsTheEnd) {
    WriteSettings(kMarkerSettings);
    StartSimulator();
    const ProcessResult result = RunOk({"run", "0", "--upload"});
    // The upload's bytes are the device tests'; here: begin, size, 4 records, end, start.
    EXPECT_EQ(driver_.CommandIds(), (std::vector<std::uint8_t>{1, 11, 11, 11, 0x15, 0x16, 0x17,
                                                               0x17, 0x17, 0x17, 0x18, 0x14}));
    const std::string snapshot = "Settings snapshot: " + DataDirectories().back().string();
    EXPECT_THAT(result.out, StartsWith("Uploaded sequence 0 (Marker): 4 script commands.\nUpload "
                                       "Complete!\n" +
                                       snapshot));

    nlohmann::ordered_json json = RunJson({"upload"});
    EXPECT_EQ(json["uploaded"], nlohmann::ordered_json::parse(
                                    R"([{"number": 0, "name": "Marker", "scriptCommands": 4}])"));

    // Already on the device: the run only starts it.
    driver_.MarkHandled();
    json = RunJson({"run", "0"});
    EXPECT_EQ(ToHex(ReceivedPayloads()), AfterConnect({"14 00"}));
    EXPECT_EQ(Keys(json), kRunReportKeys);
    EXPECT_EQ(json["durationMs"], 5.1);
    EXPECT_EQ(json["completed"], true);
    EXPECT_EQ(json["ok"], true);
}

// On a terminal (only) the upload and the run redraw one progress line, ended before the next.
TEST_F(UploadAndRunTest, ProgressIsDrawnOnATerminal) {
    WriteSettings(kMarkerSettings);
    StartSimulator();
    ChildProcess run(OSTRA_CLI_PROGRAM, {"run", "0", "--upload"}, Environment(),
                     ChildProcess::Output::Terminal);
    const ProcessResult result = run.Finish(kPatience);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_THAT(
        result.out,
        HasSubstr("\rUploading sequence 0 (Marker), 1 of 1: 4 of 4 script commands\x1b[K\r\n"
                  "Uploaded sequence 0 (Marker): 4 script commands.\r\n"));
    EXPECT_THAT(result.out, HasSubstr("Started sequence 0 (Marker) for 5.1 ms.\r\n\rRunning "
                                      "sequence 0 (Marker) ["));
    EXPECT_THAT(result.out,
                EndsWith(" of 5.1 ms\x1b[K\r\nSequence 0 (Marker) completed after 5.1 ms.\r\n"));
}

// SIGINT during a ten-minute run: the stop and every LED off go out before exit code 5.
TEST_F(UploadAndRunTest, AnInterruptSendsTheStopBeforeExiting) {
    WriteSettings(kLongSettings);
    StartSimulator();
    ASSERT_EQ(Run({"upload"}).exitCode, 0);
    driver_.MarkHandled();
    const std::size_t before = driver_->Packets().size();
    const std::unique_ptr<ChildProcess> run = Start({"run", "1"});
    ASSERT_TRUE(driver_->WaitForPackets(before + 5, kPatience));
    run->Signal(SIGINT);
    const ProcessResult result = run->Finish(kPatience);
    EXPECT_EQ(result.exitCode, 5) << result.err;
    EXPECT_EQ(ToHex(ReceivedPayloads()),
              AfterConnect({"14 01", "19", "0A 80 00", "0A 80 00", "0A 80 00"}));
    EXPECT_EQ(result.out, kLongRunInterrupted);
}

}  // namespace
