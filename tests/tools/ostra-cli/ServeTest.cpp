#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <vector>

#include "support/FileBytes.h"
#include "support/MarkerSettings.h"
#include "tools/ostra-cli/CliFixture.h"

namespace {

// ostra-cli serve holds the settings and the device; the other commands go to it.
class ServeTest : public CliFixture {
  protected:
    void SetUp() override {
        WriteSettings(kMarkerSettings + kLongSettings);
        StartSimulator();
        server_ = Start({"serve"});
        ASSERT_TRUE(server_->ReadLine(kPatience).starts_with("Connected to the Zavik Driver"));
        ASSERT_EQ(server_->ReadLine(kPatience),
                  "Serving the control socket " + Socket().string() + " until SIGINT or SIGTERM.");
    }

    std::filesystem::path Socket() const { return dir_.Path() / "runtime/ostra/control.sock"; }
    // Waits for the line that starts with `text` (among the next few).
    static void WaitFor(ChildProcess& process, const std::string& text) {
        for (int line = 0; line < 5 && !process.ReadLine(kPatience).starts_with(text); ++line) {
        }
    }

    std::unique_ptr<ChildProcess> server_;
};

// The commands answer as they do on their own, exit codes and JSON included; a run still waits
// for its end and stops on SIGINT; the record names the forwarding command as its cause.
TEST_F(ServeTest, CommandsAreForwardedWhileServeHoldsTheSettings) {
    const std::unique_ptr<ChildProcess> watch = Start({"watch"});
    ASSERT_EQ(Run({"upload"}).exitCode, 0);
    ProcessResult result = RunOk({"run", "0"});
    EXPECT_EQ(result.out,
              "Started sequence 0 (Marker) for 5.1 ms.\n"
              "Sequence 0 (Marker) completed after 5.1 ms.\n");
    const nlohmann::ordered_json json = RunJson({"run", "0"});
    EXPECT_EQ(Keys(json), kRunReportKeys);
    EXPECT_EQ(json["completed"], true);
    EXPECT_THAT(ReadFileBytes(json["stimulusRecord"].get<std::string>()),
                HasSubstr("\n# by\tostra-cli ("));
    EXPECT_EQ(Run({"led", "on", "Blue"}).out,
              "Outputs 0x0081: Blue on (intensity 26), Green off (intensity 26), Red off "
              "(intensity 26)\n");
    EXPECT_EQ(Run({"show"}).out,
              "  N  Name    Steps     Duration\n  0  Marker      2  5.1 ms\n"
              "  1  Long        1  600000.0 ms\n");
    result = Run({"run", "7"});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(result.err, "ostra-cli: Sequence 7 is not defined.\n");

    const std::unique_ptr<ChildProcess> run = Start({"run", "1"});
    WaitFor(*run, "Started sequence 1 (Long)");
    run->Signal(SIGINT);
    result = run->Finish(kPatience);
    EXPECT_EQ(result.exitCode, 5) << result.err;
    EXPECT_EQ(result.out, kLongRunInterrupted);
    EXPECT_EQ(driver_->State().OutputMask(), 0x80);

    // What only the holder may change stays refused.
    result = Run({"import", "5", "Flashes", OSTRA_SOURCE_DIR "/samples/sequences/RedFlashes.cfg"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_THAT(result.err, HasSubstr("is in use by ostra-cli (process"));

    watch->Signal(SIGINT);
    result = watch->Finish(kPatience);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_THAT(result.out, HasSubstr(" sequenceEnded sequence=1 result=stopped stimulusRecord="));
    EXPECT_THAT(result.out, HasSubstr(" led label=Blue on=true intensity=26 by=ostra-cli pid="));
}

// SIGTERM ends serve: a run a client started is stopped and every LED is off before it exits.
TEST_F(ServeTest, SigtermStopsWhatWasStartedAndEnds) {
    ASSERT_EQ(Run({"upload"}).exitCode, 0);
    const std::unique_ptr<ChildProcess> run = Start({"run", "1"});
    WaitFor(*run, "Started sequence 1 (Long)");
    server_->Signal(SIGTERM);
    const ProcessResult served = server_->Finish(kPatience);
    EXPECT_EQ(served.exitCode, 0) << served.err;
    EXPECT_THAT(served.out, EndsWith(" until SIGINT or SIGTERM.\nStopped; every LED is off.\n"));
    EXPECT_EQ(driver_->State().OutputMask(), 0x80);
    EXPECT_FALSE(std::filesystem::exists(Socket()));
    const ProcessResult client = run->Finish(kPatience);
    EXPECT_EQ(client.exitCode, 4);
    EXPECT_EQ(client.err, "ostra-cli: Sequence 1 (Long) was stopped by ostra-cli.\n");
}

}  // namespace
