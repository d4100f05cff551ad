#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/FileBytes.h"
#include "support/SmallFileSystem.h"
#include "tools/ostra-cli/CliFixture.h"

namespace {

std::string Repeated(const std::string& line, int times) {
    std::string text;
    text.reserve(line.size() * static_cast<std::size_t>(times));
    for (int i = 0; i < times; ++i) {
        text += line;
    }
    return text;
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

std::string RunLog(const std::vector<std::filesystem::path>& directories) {
    return directories.empty() ? "" : ReadFileBytes(directories.back() / "OstraLogFile.txt");
}

// A file of bad lines: the first thousand in full, the rest counted; the log no longer.
TEST_F(CliFixture, ACheckListsTheFirstThousandFailuresAndCountsTheRest) {
    WriteFileBytes(File("flood.cfg"), Repeated("-X\n", 1003));
    const std::string flood = File("flood.cfg").string();
    const ProcessResult result = Run({"check", flood});
    EXPECT_EQ(result.exitCode, 3);
    const std::vector<std::string> lines = Lines(result.out);
    ASSERT_EQ(lines.size(), 1002u);
    EXPECT_EQ(lines[999],
              flood +
                  ":1000: ConfigFileProcessor::ProcessCommandString() - Invalid Command Line "
                  "Syntax, Unrecognized Command: -X");
    EXPECT_EQ(lines[1000], flood + ": the other 3 failures are only counted");
    EXPECT_EQ(lines[1001], flood + ": 1003 failures");
    EXPECT_EQ(Count(RunLog(DataDirectories()), " - Check: "), 1001u);
    const nlohmann::ordered_json json = RunJson({"check", flood})["files"][0];
    EXPECT_EQ(json["failureCount"], 1003);
    EXPECT_EQ(json["failures"].size(), 1000u);
}

// A log on a full disk: said once on standard error, and the command fails.
TEST_F(CliFixture, ALogThatCannotBeWrittenFailsTheCommand) {
    const SmallFileSystem disk(dir_.Path() / "tmp", 32768);
    if (!disk.Mounted()) {
        GTEST_SKIP() << "a small file system cannot be mounted here (needs root)";
    }
    WriteFileBytes(File("flood.cfg"), Repeated("-X\n", 1000));
    const ProcessResult result = Run({"check", File("flood.cfg").string()});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(Count(result.err, "ostra-cli: Log File Error: Error writing log file: "), 1u)
        << result.err;
}

// The line number in "Stopped reading FILE after line N: the program is asked to end."; -1
// when the run's log has no such line.
long StoppedAfterLine(const std::string& log) {
    const std::size_t end = log.find(": the program is asked to end.");
    const std::size_t start = log.rfind(" after line ", end);
    return end == std::string::npos || start == std::string::npos
               ? -1
               : std::stol(log.substr(start + 12, end - start - 12));
}

// Waits (generously) until the run's log holds the text.
void WaitForLog(const std::function<std::string()>& log, const std::string& text) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (log().find(text) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

constexpr int kLongFileLines = 600000;

// SIGINT while the start reads a long settings file: the reading stops part-way, nothing is done
// or saved (the operator's file stays as it was) and the program ends with 5.
TEST_F(CliFixture, ASignalEndsALongStart) {
    const std::string settings = Repeated("-SetIntensity Blue 7\n", kLongFileLines);
    WriteSettings(settings);
    const std::unique_ptr<ChildProcess> process = Start({"led", "intensity", "Blue", "9"});
    WaitForLog([this] { return RunLog(DataDirectories()); }, "Processing line(1000)");
    process->Signal(SIGINT);
    const ProcessResult result = process->Finish(kPatience);
    EXPECT_EQ(result.exitCode, 5) << result.err;
    const long stoppedAfter = StoppedAfterLine(RunLog(DataDirectories()));
    EXPECT_TRUE(stoppedAfter >= 1000 && stoppedAfter < kLongFileLines) << stoppedAfter;
    EXPECT_TRUE(ReadFileBytes(SettingsFile()) == settings) << "the settings file changed";
    ASSERT_FALSE(DataDirectories().empty());
    EXPECT_FALSE(std::filesystem::exists(DataDirectories().back() / "OstraSettings.cfg"));
}

// SIGINT while a check reads a long file: no report of the part read, exit 5.
TEST_F(CliFixture, ASignalEndsALongCheck) {
    WriteFileBytes(File("long.cfg"), Repeated("-X\n", kLongFileLines));
    const std::unique_ptr<ChildProcess> process = Start({"check", File("long.cfg").string()});
    // Written just before the command starts.
    WaitForLog([this] { return RunLog(DataDirectories()); }, " - Command line: ");
    process->Signal(SIGINT);
    const ProcessResult result = process->Finish(kPatience);
    EXPECT_EQ(result.exitCode, 5) << result.err;
    EXPECT_TRUE(result.out == "Interrupted.\n") << result.out.substr(0, 300);
}

}  // namespace
