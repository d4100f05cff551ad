#include <gtest/gtest.h>
#include <sys/mount.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "support/FileBytes.h"
#include "tools/ostra-cli/CliFixture.h"

namespace {

std::string Repeated(const std::string& line, int times) {
    std::string text;
    while (times-- > 0)
        text += line;
    return text;
}

class HostileInputsTest : public CliFixture {
  protected:
    std::string RunLog() const {
        const auto directories = DataDirectories();
        return directories.empty() ? "" : ReadFileBytes(directories.back() / "OstraLogFile.txt");
    }
};

// A file of bad lines: the first thousand in full, in the log too, the rest counted.
TEST_F(HostileInputsTest, ACheckListsTheFirstThousandFailuresAndCountsTheRest) {
    WriteFileBytes(File("flood.cfg"), Repeated("-X\n", 1003));
    const std::string flood = File("flood.cfg").string();
    const std::vector<std::string> lines = Lines(Run({"check", flood}).out);
    ASSERT_EQ(lines.size(), 1002u);
    EXPECT_THAT(std::vector(lines.begin() + 999, lines.end()),
                testing::ElementsAre(
                    flood + ":1000: ConfigFileProcessor::ProcessCommandString() - "
                            "Invalid Command Line Syntax, Unrecognized Command: -X",
                    flood + ": the other 3 failures are only counted", flood + ": 1003 failures"));
    EXPECT_THAT(RunLog(), testing::AllOf(HasSubstr(" - Check: " + lines[1000] + "\r\n"),
                                         testing::Not(HasSubstr(" - Check: " + flood + ":1001:"))));
    EXPECT_EQ(RunJson({"check", flood})["files"][0]["failureCount"], 1003);
}

// The run's log on a full disk: said once on standard error, and the command fails.
TEST_F(HostileInputsTest, ALogThatCannotBeWrittenFailsTheCommand) {
    const std::filesystem::path temp = dir_.Path() / "tmp";
    if (mount("tmpfs", temp.c_str(), "tmpfs", 0, "size=32768,mode=0700") != 0)
        GTEST_SKIP() << "a small file system cannot be mounted here (needs root)";
    WriteFileBytes(File("flood.cfg"), Repeated("-X\n", 1000));
    const ProcessResult result = Run({"check", File("flood.cfg").string()});
    umount2(temp.c_str(), MNT_DETACH);
    EXPECT_EQ(result.exitCode, 3);
    const std::string said = "ostra-cli: Log File Error: Error writing log file: ";
    EXPECT_THAT(result.err, HasSubstr(said));
    EXPECT_EQ(result.err.find(said), result.err.rfind(said));
}

// SIGINT while the start reads a long settings file, or a check a long file: reading stops
// part-way, nothing is reported or saved, and the program ends with 5.
TEST_F(HostileInputsTest, ASignalEndsALongLoad) {
    const std::string settings = Repeated("-SetIntensity Blue 7\n", 600000);
    WriteFileBytes(File("long.cfg"), Repeated("-X\n", 600000));
    // The command, what the log shows once it is under way, and what it stops.
    for (const auto& [arguments, started, stopped] :
         std::vector<std::tuple<std::vector<std::string>, std::string, std::string>>{
             {{"led", "intensity", "Blue", "9"}, "Processing line(1000)", "is asked to end."},
             {{"check", File("long.cfg").string()}, " - Command line: ", ""}}) {
        std::filesystem::remove_all(dir_.Path() / "tmp/VelorinData");
        WriteSettings(arguments[0] == "led" ? settings : "");
        const std::unique_ptr<ChildProcess> process = Start(arguments);
        for (const auto give_up = std::chrono::steady_clock::now() + kPatience;
             RunLog().find(started) == std::string::npos &&
             std::chrono::steady_clock::now() < give_up;)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        process->Signal(SIGINT);
        const ProcessResult result = process->Finish(kPatience);
        EXPECT_EQ(result.exitCode, 5) << result.err;
        EXPECT_TRUE(result.out == "Interrupted.\n") << result.out.substr(0, 300);
        EXPECT_NE(RunLog().find(stopped), std::string::npos);  // too long to print
        EXPECT_TRUE(ReadFileBytes(SettingsFile()) == (arguments[0] == "led" ? settings : ""));
    }
}

}  // namespace
